// hexloader-cli records: what the production line recorded, from the record file or the database:
// which image went into which board (by its serial number), when, through which station and port,
// and how it ended. One row per board; a number taken for a board that never finished stays visible
// with the result "taken".
#include <string>
#include <vector>

#include "core/exception_display.h"
#include "production/production_errors.h"
#include "production/production_settings.h"
#include "production/record_store.h"
#include "production/record_time.h"
#include "tools/cli/cli_command.h"
#include "tools/cli/console_text.h"
#include "tools/cli/record_listing.h"

namespace hexloader::cli {
namespace {

using production::TProductionKey;

const char* const kUsage =
    "hexloader-cli records (--log FILE | --store CONNECTION) [--serial N | --serial N-M] [--since DATE[THH:MM]] "
    "[--port PORT] [--result R] [--serial-name NAME] [--csv | --json]\n"
    "  Shows the records of uploads: the time an upload began, the station and port, the board's\n"
    "  sequence and serial number, the result, the HEX file and the sha256 of the image as sent, one\n"
    "  board a row, oldest first, as an aligned table. A serial number taken for a board whose upload\n"
    "  never ended (the process was killed, the power failed, the run stopped while the board was\n"
    "  awaited) shows with the result \"taken\"; such a number is never given again.\n"
    "  --log FILE         read the record file (the one upload --log writes)\n"
    "  --store CONNECTION\n"
    "                     read the database the line's stations share (an ODBC connection string such\n"
    "                     as DSN=line1; the password comes from the DSN, the driver's configuration or\n"
    "                     HEXLOADER_STORE_PASSWORD, never from CONNECTION)\n"
    "  --serial N         only the board with serial number N, or with N-M the boards from N to M\n"
    "                     (decimal or 0x hexadecimal; for an ascii list, the text itself)\n"
    "  --since DATE       only records from DATE on (local time: 2026-12-10 or 2026-12-10T14:05)\n"
    "  --port PORT        only the records of that port, as given to upload\n"
    "  --result R         only the records with that result: ok, reply-error, silent, port-error,\n"
    "                     interrupted or taken\n"
    "  --serial-name NAME\n"
    "                     only the boards of that sequence (the one not named otherwise is \"default\")\n"
    "  --csv              comma-separated values with a header line, for spreadsheets\n"
    "  --json             a JSON array of the records, one object a line, as the record file has them\n"
    "  Exit status: 0 the records were shown (also when none matched); 1 wrong usage, or the file or\n"
    "  database could not be read.\n";

constexpr const char* kResults[] = {"ok", "reply-error", "silent", "port-error", "interrupted", "taken"};

struct TRecordsArgs {
  production::TProductionSettings Source;
  production::TRecordFilter Filter;
  TListingFormat Format = TListingFormat::Table;
};

bool Parse(const std::vector<std::string>& Args, TRecordsArgs& Out, std::string& Error) {
  production::TProductionSettingsReader Reader(production::TSettingsSource::CommandLine);
  bool FormatGiven = false;
  try {
    for (std::size_t i = 0; i < Args.size(); ++i) {
      const std::string& A = Args[i];
      if (A == "--csv" || A == "--json") {
        if (FormatGiven) {
          Error = "--csv and --json cannot be used together";
          return false;
        }
        FormatGiven = true;
        Out.Format = A == "--csv" ? TListingFormat::Csv : TListingFormat::Json;
        continue;
      }
      const bool TakesValue = A == "--log" || A == "--store" || A == "--serial" || A == "--since" || A == "--port" ||
                              A == "--result" || A == "--serial-name";
      if (!TakesValue) {
        Error = A.empty() || A[0] != '-' ? "unexpected argument '" + A + "'" : "unknown option '" + A + "'";
        return false;
      }
      if (i + 1 >= Args.size()) {
        Error = A + " needs a value";
        return false;
      }
      const std::string& V = Args[++i];
      if (V.empty()) {
        Error = A + " needs a value that is not empty";
        return false;
      }
      if (A == "--log") {
        Reader.Set(TProductionKey::Log, V);
      } else if (A == "--store") {
        Reader.Set(TProductionKey::Store, V);
      } else if (A == "--serial") {
        if (!Out.Filter.SetSerial(V)) {
          Error = "bad value '" + V + "' for --serial (a number N, or a range N-M with N <= M)";
          return false;
        }
      } else if (A == "--since") {
        Out.Filter.SinceUtcMillis = production::UtcMillisOfLocalDate(V);
        if (!Out.Filter.SinceUtcMillis) {
          Error = "bad value '" + V + "' for --since (a local date 2026-12-10, or 2026-12-10T14:05)";
          return false;
        }
      } else if (A == "--port") {
        Out.Filter.Port = V;
      } else if (A == "--serial-name") {
        Out.Filter.Sequence = V;
      } else {
        bool Known = false;
        for (const char* R : kResults) Known = Known || V == R;
        if (!Known) {
          Error = "bad value '" + V + "' for --result (ok, reply-error, silent, port-error, interrupted or taken)";
          return false;
        }
        Out.Filter.Result = V;
      }
    }
    Out.Source = Reader.Finish();
  } catch (const production::EProductionSettingError& E) {
    Error = E.what();
    return false;
  }
  if (Out.Source.LogFile.empty() == Out.Source.Store.empty()) {
    Error = "give either --log FILE or --store CONNECTION";
    return false;
  }
  return true;
}

std::string Usage() { return kUsage; }

int Run(const std::vector<std::string>& RawArgs) {
  TRecordsArgs Args;
  std::string Error;
  if (!Parse(RawArgs, Args, Error)) {
    PrintText(stderr, "hexloader-cli records: %s\n\n%s", Error.c_str(), kUsage);
    return 1;
  }
  std::vector<production::TRecordRow> Rows;
  try {
    const auto Store = production::OpenRecordStore(Args.Source, production::TStoreUse::Reading);
    Rows = Store->ReadRecords(Args.Filter);
  } catch (const std::exception& E) {
    PrintText(stderr, "hexloader-cli: %s\n", ExceptionDisplayText(E.what()).c_str());
    return 1;
  }
  WriteText(stdout, FormatRecordListing(Rows, Args.Format));
  return 0;
}

}  // namespace

const TCliCommand RecordsCommand{"records", "show the records of uploads and serial numbers, from --log or --store",
                                 Usage, Run};

}  // namespace hexloader::cli
