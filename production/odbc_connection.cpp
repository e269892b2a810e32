#include "production/odbc_connection.h"

#include <cstring>

#include "production/odbc_api.h"
#include "production/odbc_text.h"

namespace hexloader::production {
namespace {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "ODBC's wide characters are UTF-16 code units");

SQLWCHAR* Wide(std::u16string& Text) { return reinterpret_cast<SQLWCHAR*>(Text.data()); }

// The diagnostics of a failed call on Handle.
EOdbcError ErrorOf(SQLSMALLINT Type, SQLHANDLE Handle, const char* Fallback) {
  std::string State, Text;
  for (SQLSMALLINT Record = 1; Record <= 5; ++Record) {
    SQLWCHAR WideState[6] = {};
    SQLWCHAR Message[1024] = {};
    SQLINTEGER Native = 0;
    SQLSMALLINT Length = 0;
    const SQLRETURN Rc = ::SQLGetDiagRecW(Type, Handle, Record, WideState, &Native, Message,
                                          static_cast<SQLSMALLINT>(sizeof Message / sizeof Message[0]), &Length);
    if (!SQL_SUCCEEDED(Rc)) break;
    const std::string RecordState =
        Utf8FromOdbcText(std::u16string_view(reinterpret_cast<const char16_t*>(WideState), 5));
    const std::size_t Shown = Length < 1023 ? static_cast<std::size_t>(Length) : 1023;
    std::string RecordText = Utf8FromOdbcText(std::u16string_view(reinterpret_cast<const char16_t*>(Message), Shown));
    while (!RecordText.empty() && (RecordText.back() == '\n' || RecordText.back() == '\r' || RecordText.back() == ' '))
      RecordText.pop_back();
    if (State.empty()) State = RecordState;
    if (!Text.empty()) Text += "; ";
    Text += "[" + RecordState + "] " + RecordText;
  }
  if (Text.empty()) Text = Fallback;
  return EOdbcError(State, Text);
}

// Frees a statement handle however its use ends.
struct TStatement {
  SQLHSTMT Handle = SQL_NULL_HSTMT;
  ~TStatement() {
    if (Handle != SQL_NULL_HSTMT) ::SQLFreeHandle(SQL_HANDLE_STMT, Handle);
  }
};

}  // namespace

namespace {

TOdbcParam ParamOf(TOdbcParam::TType Type, bool IsNull) {
  TOdbcParam P;
  P.Type = Type;
  P.IsNull = IsNull;
  return P;
}

}  // namespace

TOdbcParam TOdbcParam::OfText(const std::optional<std::string>& Value) {
  TOdbcParam P = ParamOf(TType::Text, !Value);
  P.Text = Value.value_or("");
  return P;
}

TOdbcParam TOdbcParam::OfInteger(const std::optional<std::int64_t>& Value) {
  TOdbcParam P = ParamOf(TType::Integer, !Value);
  P.Integer = Value.value_or(0);
  return P;
}

TOdbcParam TOdbcParam::OfDecimal(const std::optional<std::uint64_t>& Value) {
  TOdbcParam P = ParamOf(TType::Decimal, !Value);
  if (Value) P.Text = std::to_string(*Value);
  return P;
}

TOdbcParam TOdbcParam::OfReal(const std::optional<double>& Value) {
  TOdbcParam P = ParamOf(TType::Real, !Value);
  P.Real = Value.value_or(0.0);
  return P;
}

struct TOdbcConnection::THandles {
  SQLHENV Environment = SQL_NULL_HENV;
  SQLHDBC Connection = SQL_NULL_HDBC;
  bool Connected = false;
  ~THandles() {
    if (Connected) ::SQLDisconnect(Connection);
    if (Connection != SQL_NULL_HDBC) ::SQLFreeHandle(SQL_HANDLE_DBC, Connection);
    if (Environment != SQL_NULL_HENV) ::SQLFreeHandle(SQL_HANDLE_ENV, Environment);
  }
};

TOdbcConnection::TOdbcConnection(const std::string& ConnectionString, int LoginTimeoutSeconds, int QueryTimeoutSeconds)
    : Handles_(std::make_unique<THandles>()), QueryTimeoutSeconds_(QueryTimeoutSeconds) {
  THandles& H = *Handles_;
  if (!SQL_SUCCEEDED(::SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &H.Environment)))
    throw EOdbcError("", "the ODBC driver manager is not available");
  if (!SQL_SUCCEEDED(::SQLSetEnvAttr(H.Environment, SQL_ATTR_ODBC_VERSION,
                                     reinterpret_cast<SQLPOINTER>(static_cast<std::intptr_t>(SQL_OV_ODBC3)), 0)))
    throw ErrorOf(SQL_HANDLE_ENV, H.Environment, "the ODBC driver manager refused version 3");
  if (!SQL_SUCCEEDED(::SQLAllocHandle(SQL_HANDLE_DBC, H.Environment, &H.Connection)))
    throw ErrorOf(SQL_HANDLE_ENV, H.Environment, "no ODBC connection handle");
  // A server that does not answer must not hold the line for ever; a driver without the attribute
  // keeps its own.
  ::SQLSetConnectAttrW(H.Connection, SQL_ATTR_LOGIN_TIMEOUT,
                       reinterpret_cast<SQLPOINTER>(static_cast<std::intptr_t>(LoginTimeoutSeconds)), 0);
  std::u16string Text = OdbcTextFromUtf8(ConnectionString);
  SQLWCHAR Completed[1024];
  SQLSMALLINT CompletedLength = 0;
  const SQLRETURN Rc = ::SQLDriverConnectW(H.Connection, nullptr, Wide(Text), static_cast<SQLSMALLINT>(Text.size()),
                                           Completed, static_cast<SQLSMALLINT>(sizeof Completed / sizeof Completed[0]),
                                           &CompletedLength, SQL_DRIVER_NOPROMPT);
  // The completed connection string may hold the password: it is not kept.
  std::memset(Completed, 0, sizeof Completed);
  std::fill(Text.begin(), Text.end(), u'\0');
  if (!SQL_SUCCEEDED(Rc)) throw ErrorOf(SQL_HANDLE_DBC, H.Connection, "the connection failed");
  H.Connected = true;
  if (!SQL_SUCCEEDED(::SQLSetConnectAttrW(H.Connection, SQL_ATTR_AUTOCOMMIT,
                                          reinterpret_cast<SQLPOINTER>(static_cast<std::intptr_t>(SQL_AUTOCOMMIT_OFF)),
                                          0)))
    throw ErrorOf(SQL_HANDLE_DBC, H.Connection, "the driver has no transactions");
  // Each statement sees what other stations committed before it: the store's transactions rely on it.
  ::SQLSetConnectAttrW(H.Connection, SQL_ATTR_TXN_ISOLATION,
                       reinterpret_cast<SQLPOINTER>(static_cast<std::intptr_t>(SQL_TXN_READ_COMMITTED)), 0);
}

TOdbcConnection::~TOdbcConnection() = default;

TOdbcResult TOdbcConnection::Execute(const std::string& Sql, const std::vector<TOdbcParam>& Params) {
  TStatement Statement;
  if (!SQL_SUCCEEDED(::SQLAllocHandle(SQL_HANDLE_STMT, Handles_->Connection, &Statement.Handle)))
    throw ErrorOf(SQL_HANDLE_DBC, Handles_->Connection, "no ODBC statement handle");
  ::SQLSetStmtAttrW(Statement.Handle, SQL_ATTR_QUERY_TIMEOUT,
                    reinterpret_cast<SQLPOINTER>(static_cast<std::intptr_t>(QueryTimeoutSeconds_)), 0);

  // The bound buffers live until the statement has run.
  std::vector<std::u16string> Texts(Params.size());
  std::vector<SQLLEN> Lengths(Params.size());
  for (std::size_t i = 0; i < Params.size(); ++i) {
    const TOdbcParam& P = Params[i];
    const auto Number = static_cast<SQLUSMALLINT>(i + 1);
    SQLSMALLINT CType = SQL_C_WCHAR, SqlType = SQL_WVARCHAR, Digits = 0;
    SQLULEN Column = 1;
    SQLPOINTER Buffer = nullptr;
    SQLLEN BufferBytes = 0;
    switch (P.Type) {
      case TOdbcParam::TType::Text:
      case TOdbcParam::TType::Decimal:
        Texts[i] = OdbcTextFromUtf8(P.Text);
        Buffer = Wide(Texts[i]);
        BufferBytes = static_cast<SQLLEN>(Texts[i].size() * sizeof(SQLWCHAR));
        Column = Texts[i].empty() ? 1 : Texts[i].size();
        if (P.Type == TOdbcParam::TType::Decimal) {
          SqlType = SQL_DECIMAL;
          Column = 20;
        }
        break;
      case TOdbcParam::TType::Integer:
        CType = SQL_C_SBIGINT;
        SqlType = SQL_BIGINT;
        Buffer = const_cast<std::int64_t*>(&P.Integer);
        break;
      case TOdbcParam::TType::Real:
        CType = SQL_C_DOUBLE;
        SqlType = SQL_DOUBLE;
        Column = 15;
        Buffer = const_cast<double*>(&P.Real);
        break;
    }
    Lengths[i] = P.IsNull ? SQL_NULL_DATA : (CType == SQL_C_WCHAR ? BufferBytes : 0);
    if (!SQL_SUCCEEDED(::SQLBindParameter(Statement.Handle, Number, SQL_PARAM_INPUT, CType, SqlType, Column, Digits,
                                          Buffer, BufferBytes, &Lengths[i])))
      throw ErrorOf(SQL_HANDLE_STMT, Statement.Handle, "a value could not be bound");
  }

  std::u16string Text = OdbcTextFromUtf8(Sql);
  const SQLRETURN Rc = ::SQLExecDirectW(Statement.Handle, Wide(Text), static_cast<SQLINTEGER>(Text.size()));
  TOdbcResult Result;
  if (Rc == SQL_NO_DATA) {  // an UPDATE or DELETE that touched no row
    Result.RowCount = 0;
    return Result;
  }
  if (!SQL_SUCCEEDED(Rc)) throw ErrorOf(SQL_HANDLE_STMT, Statement.Handle, "the statement failed");

  SQLSMALLINT Columns = 0;
  if (!SQL_SUCCEEDED(::SQLNumResultCols(Statement.Handle, &Columns)))
    throw ErrorOf(SQL_HANDLE_STMT, Statement.Handle, "no result description");
  if (Columns == 0) {
    SQLLEN Count = -1;
    ::SQLRowCount(Statement.Handle, &Count);
    Result.RowCount = Count;
    return Result;
  }
  for (;;) {
    const SQLRETURN Fetched = ::SQLFetch(Statement.Handle);
    if (Fetched == SQL_NO_DATA) break;
    if (!SQL_SUCCEEDED(Fetched)) throw ErrorOf(SQL_HANDLE_STMT, Statement.Handle, "a row could not be read");
    TOdbcRow Row(static_cast<std::size_t>(Columns));
    for (SQLUSMALLINT Column = 1; Column <= static_cast<SQLUSMALLINT>(Columns); ++Column) {
      std::u16string Value;
      bool Null = false;
      // A long value comes in pieces, each ending in a terminating zero.
      for (;;) {
        char16_t Piece[512];
        SQLLEN Indicator = 0;
        const SQLRETURN Got = ::SQLGetData(Statement.Handle, Column, SQL_C_WCHAR, Piece, sizeof Piece, &Indicator);
        if (Got == SQL_NO_DATA) break;
        if (!SQL_SUCCEEDED(Got)) throw ErrorOf(SQL_HANDLE_STMT, Statement.Handle, "a value could not be read");
        if (Indicator == SQL_NULL_DATA) {
          Null = true;
          break;
        }
        const std::size_t Room = sizeof Piece / sizeof Piece[0] - 1;
        const std::size_t Units = Indicator == SQL_NO_TOTAL || static_cast<std::size_t>(Indicator) / 2 > Room
                                      ? Room
                                      : static_cast<std::size_t>(Indicator) / 2;
        Value.append(Piece, Units);
        if (Got == SQL_SUCCESS) break;
      }
      if (!Null) Row[Column - 1] = Utf8FromOdbcText(Value);
    }
    Result.Rows.push_back(std::move(Row));
  }
  return Result;
}

void TOdbcConnection::Commit() {
  if (!SQL_SUCCEEDED(::SQLEndTran(SQL_HANDLE_DBC, Handles_->Connection, SQL_COMMIT)))
    throw ErrorOf(SQL_HANDLE_DBC, Handles_->Connection, "the transaction could not be committed");
}

void TOdbcConnection::Rollback() noexcept { ::SQLEndTran(SQL_HANDLE_DBC, Handles_->Connection, SQL_ROLLBACK); }

}  // namespace hexloader::production
