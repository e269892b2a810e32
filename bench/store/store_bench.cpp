// Per-board cost of the production line's records (used by run.sh):
//   store_bench record FILE N        N upload records appended to the record file (today's cost)
//   store_bench file FILE N          N serial numbers taken from the record file, each with its record
//   store_bench db CONNECTION N      the same in a database through ODBC
// Prints the seconds the N boards took.
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "production/database_store.h"
#include "production/record_file_store.h"

using namespace hexloader::production;

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: store_bench record|file|db FILE|CONNECTION N\n");
    return 2;
  }
  const std::string Mode = argv[1], Where = argv[2];
  const int Count = std::stoi(argv[3]);
  TUploadRecord Record;
  Record.Port = "ttyUSB0";
  Record.Station = "bench";
  Record.File = "firmware.hex";
  Record.ImageBytes = 20000;
  Record.Sha256 = std::string(64, 'a');
  Record.Seconds = 10.5;
  Record.Frames = 157;
  TSerialSource Source;
  Source.Name = "bench";
  Source.Field = {0x7F00, 4, TSerialFormat::LittleEndian};
  Source.Start = 100000;
  try {
    std::unique_ptr<TRecordStore> Store;
    std::unique_ptr<TRecordFile> File;
    if (Mode == "record") File = std::make_unique<TRecordFile>(Where);
    else if (Mode == "file") Store = std::make_unique<TRecordFileStore>(Where, TRecordFile::TAccess::Append);
    else Store = std::make_unique<TDatabaseStore>(Where, TStoreUse::Production);
    const auto Began = std::chrono::steady_clock::now();
    for (int i = 0; i < Count; ++i) {
      Record.Time = std::chrono::system_clock::now();
      if (File) {
        File->Append(FormatUploadRecord(Record));
        continue;
      }
      Record.Serial = Store->TakeSerial(Source, {Record.Time, Record.Port, Record.Station});
      Record.Sequence = Source.Name;
      Store->WriteUpload(Record);
    }
    std::printf("%.6f\n", std::chrono::duration<double>(std::chrono::steady_clock::now() - Began).count());
  } catch (const std::exception& E) {
    std::fprintf(stderr, "store_bench: %s\n", E.what());
    return 1;
  }
  return 0;
}
