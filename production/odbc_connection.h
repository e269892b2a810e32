#pragma once
// One connection to a database through ODBC, with the wide (UTF-16) functions only, in manual-commit
// mode at READ COMMITTED: the small layer between the database store and the driver manager (unixODBC
// on Linux, Windows' ODBC, wine's on the way to the host's unixODBC).
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "production/production_errors.h"

namespace hexloader::production {

// A failed ODBC call: the driver's diagnostics ("[SQLSTATE] text", several joined by "; ") and the
// first record's SQLSTATE, for telling a duplicate key or a conflict from a lost connection.
class EOdbcError : public EStoreError {
 public:
  EOdbcError(std::string SqlState, std::string Diagnostics)
      : EStoreError(Diagnostics), SqlState_(std::move(SqlState)), Diagnostics_(std::move(Diagnostics)) {}
  const std::string& SqlState() const { return SqlState_; }
  const std::string& Diagnostics() const { return Diagnostics_; }
  // Integrity violation: a duplicate key (SQLSTATE class 23).
  bool IsDuplicate() const { return SqlState_.rfind("23", 0) == 0; }
  // Serialization failure or deadlock: the transaction may be run again.
  bool IsConflict() const { return SqlState_ == "40001" || SqlState_ == "40P01"; }

 private:
  std::string SqlState_;
  std::string Diagnostics_;
};

// One value bound to a statement's "?", or its NULL of the same type.
struct TOdbcParam {
  enum class TType { Text, Integer, Decimal, Real };
  TType Type = TType::Text;
  bool IsNull = false;
  std::string Text;  // Text, and Decimal as its digits
  std::int64_t Integer = 0;
  double Real = 0;

  static TOdbcParam OfText(const std::optional<std::string>& Value);
  static TOdbcParam OfInteger(const std::optional<std::int64_t>& Value);
  static TOdbcParam OfDecimal(const std::optional<std::uint64_t>& Value);  // up to 20 digits, DECIMAL(20,0)
  static TOdbcParam OfReal(const std::optional<double>& Value);
};

// A row of a result: each column as text (numbers in their SQL text form), empty for NULL.
using TOdbcRow = std::vector<std::optional<std::string>>;

struct TOdbcResult {
  std::vector<TOdbcRow> Rows;  // a query's rows
  std::int64_t RowCount = -1;  // the rows an UPDATE, INSERT or DELETE touched
};

class TOdbcConnection {
 public:
  // Connects without prompting. ConnectionString is never quoted in a message. Raises EOdbcError.
  TOdbcConnection(const std::string& ConnectionString, int LoginTimeoutSeconds, int QueryTimeoutSeconds);
  ~TOdbcConnection();
  TOdbcConnection(const TOdbcConnection&) = delete;
  TOdbcConnection& operator=(const TOdbcConnection&) = delete;

  // Runs Sql with Params inside the open transaction. Raises EOdbcError.
  TOdbcResult Execute(const std::string& Sql, const std::vector<TOdbcParam>& Params = {});
  void Commit();             // raises EOdbcError
  void Rollback() noexcept;  // failures ignored: the connection may be gone

 private:
  struct THandles;
  std::unique_ptr<THandles> Handles_;
  int QueryTimeoutSeconds_;
};

}  // namespace hexloader::production
