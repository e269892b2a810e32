#pragma once
// A real PostgreSQL server for the tests, reached through unixODBC and the PostgreSQL ODBC driver as
// configured by tests/production/postgres-server.sh in the server's folder: either the run's shared
// server (CTest's fixture "postgres" starts it and names its folder in HEXLOADER_TEST_PG_DIR) or one of
// the test's own, for tests that kill it.
#include <string>

namespace hexloader::test {

class TPostgresServer {
 public:
  // Own: a server of this object's own in a temporary folder, stopped by the destructor; otherwise the
  // shared one (or an own one when no shared server runs, as when a test program is run by hand).
  // Also points this process (and its children) at the server: ODBCSYSINI, ODBCINI and
  // HEXLOADER_STORE_PASSWORD in the environment.
  explicit TPostgresServer(bool Own = false);
  ~TPostgresServer();
  TPostgresServer(const TPostgresServer&) = delete;
  TPostgresServer& operator=(const TPostgresServer&) = delete;

  // An empty database of its own for one test; returns its name.
  std::string NewDatabase();
  // The connection string of Database through the DSN (TCP on the loopback, role "hexloader", the
  // password from the environment).
  std::string Connection(const std::string& Database) const;
  // The same with the password in it, for the tests' own connections (TOdbcConnection without the
  // store, which would add it); kept in memory only.
  std::string AdminConnection(const std::string& Database) const;
  // A connection string naming the driver and server itself, without a DSN.
  std::string DriverConnection(const std::string& Database) const;

  void Kill();     // SIGKILL for the server and its back ends
  void Restart();  // up again on the same data and port

  const std::string& Password() const { return Password_; }
  const std::string& Dir() const { return Dir_; }
  std::string Port() const;

 private:
  void Script(const std::string& Command, const std::string& Extra = "");

  std::string Dir_;
  bool Own_ = false;
  std::string Password_;
};

}  // namespace hexloader::test
