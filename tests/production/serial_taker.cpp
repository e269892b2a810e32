// A station of the tests: takes serial numbers from a record file or a database as the production line
// does, one board after the other, and records each board's upload (without a device). The tests start
// several at once, kill one between taking and recording, or kill the database under it.
//
//   serial_taker [--log FILE] [--store CONNECTION] [--station NAME] [--serial-... as upload takes them]
//                [--port P] [--count N] [--hold-ms MS] [--no-upload]
//
// Prints "taken VALUE" once a number is durable, "recorded VALUE" once its upload's record is;
// status 0 when all N were taken, 3 when the sequence ended ("ended: MESSAGE"), 1 for any failure of
// the store (the message on standard error), 2 for wrong usage.
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "production/production_errors.h"
#include "production/production_settings.h"
#include "production/record_store.h"
#include "production/station_name.h"

using namespace hexloader::production;

int main(int argc, char** argv) {
  TProductionSettingsReader Reader(TSettingsSource::CommandLine);
  std::string Port = "ttyTEST";
  int Count = 1, HoldMs = 0;
  bool Upload = true;
  try {
    for (int i = 1; i < argc; ++i) {
      const std::string A = argv[i];
      if (A == "--no-upload") {
        Upload = false;
        continue;
      }
      if (i + 1 >= argc) throw EProductionSettingError(A + " needs a value");
      const std::string V = argv[++i];
      if (const TProductionKeyName* Key = FindProductionOption(A)) Reader.Set(Key->Key, V);
      else if (A == "--port") Port = V;
      else if (A == "--count") Count = std::stoi(V);
      else if (A == "--hold-ms") HoldMs = std::stoi(V);
      else throw EProductionSettingError("unknown option " + A);
    }
  } catch (const std::exception& E) {
    std::fprintf(stderr, "serial_taker: %s\n", E.what());
    return 2;
  }
  try {
    const TProductionSettings Settings = Reader.Finish();
    const TSerialSource Source = LoadSerialSource(Settings.Serial.value());
    const auto Store = OpenRecordStore(Settings, TStoreUse::Production);
    const std::string Station = StationName(Settings);
    for (int n = 0; n < Count; ++n) {
      const auto Began = std::chrono::system_clock::now();
      const TSerialValue Value = Store->TakeSerial(Source, {Began, Port, Station});
      std::printf("taken %s\n", Value.Text().c_str());
      std::fflush(stdout);
      std::this_thread::sleep_for(std::chrono::milliseconds(HoldMs));
      if (!Upload) continue;
      TUploadRecord Record;
      Record.Time = Began;
      Record.Port = Port;
      Record.Station = Station;
      Record.File = "fw.hex";
      Record.ImageBytes = 600;
      Record.Sha256 = std::string(64, 'a');
      Record.Sequence = Source.Name;
      Record.Serial = Value;
      Record.Seconds = 0.5;
      Record.Frames = 5;
      Store->WriteUpload(Record);
      std::printf("recorded %s\n", Value.Text().c_str());
      std::fflush(stdout);
    }
  } catch (const ESerialSequenceEnded& E) {
    std::printf("ended: %s\n", E.what());
    return 3;
  } catch (const std::exception& E) {
    std::fprintf(stderr, "%s\n", E.what());
    return 1;
  }
  return 0;
}
