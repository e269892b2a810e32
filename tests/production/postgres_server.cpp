#include "tests/production/postgres_server.h"

#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <map>
#include <stdexcept>

#include "tests/upload/sim_process.h"

namespace hexloader::test {
namespace {

std::map<std::string, std::string> ReadEnvFile(const std::string& Path) {
  std::map<std::string, std::string> Values;
  std::ifstream In(Path);
  std::string Line;
  while (std::getline(In, Line)) {
    if (Line.rfind("export ", 0) == 0) Line.erase(0, 7);
    const auto Equals = Line.find('=');
    if (Equals != std::string::npos) Values[Line.substr(0, Equals)] = Line.substr(Equals + 1);
  }
  return Values;
}

}  // namespace

TPostgresServer::TPostgresServer(bool Own) {
  const char* Shared = std::getenv("HEXLOADER_TEST_PG_DIR");
  Own_ = Own || !Shared || !*Shared;
  if (Own_) {
    char Pattern[] = "/tmp/hexloader-pg-XXXXXX";
    if (!::mkdtemp(Pattern)) throw std::runtime_error("mkdtemp");
    Dir_ = Pattern;
    Script("start");
  } else {
    Dir_ = Shared;
  }
  const auto Env = ReadEnvFile(Dir_ + "/env");
  if (!Env.count("ODBCINI")) throw std::runtime_error("no server in " + Dir_);
  ::setenv("ODBCSYSINI", Env.at("ODBCSYSINI").c_str(), 1);
  ::setenv("ODBCINI", Env.at("ODBCINI").c_str(), 1);
  std::ifstream(Dir_ + "/password") >> Password_;
  ::setenv("HEXLOADER_STORE_PASSWORD", Password_.c_str(), 1);
}

TPostgresServer::~TPostgresServer() {
  if (Own_) {
    try {
      Script("stop");
    } catch (...) {}
  }
}

void TPostgresServer::Script(const std::string& Command, const std::string& Extra) {
  std::vector<std::string> Args = {"/bin/bash", HEXLOADER_POSTGRES_SCRIPT, Command, Dir_};
  if (!Extra.empty()) Args.push_back(Extra);
  std::string Out, Err;
  if (RunProgram(Args, &Out, &Err) != 0)
    throw std::runtime_error("postgres-server.sh " + Command + " failed: " + Err + Out);
}

std::string TPostgresServer::NewDatabase() {
  static std::atomic<int> Counter{0};
  const std::string Name = "t" + std::to_string(::getpid()) + "_" + std::to_string(++Counter);
  Script("createdb", Name);
  return Name;
}

std::string TPostgresServer::Port() const { return ReadEnvFile(Dir_ + "/env").at("HEXLOADER_TEST_PG_PORT"); }

std::string TPostgresServer::Connection(const std::string& Database) const {
  return "DSN=hexloader-test;Database=" + Database;
}

std::string TPostgresServer::AdminConnection(const std::string& Database) const {
  return Connection(Database) + ";PWD={" + Password_ + "}";
}

std::string TPostgresServer::DriverConnection(const std::string& Database) const {
  return "Driver={HexloaderPostgreSQL};Servername=127.0.0.1;Port=" + Port() + ";Database=" + Database +
         ";Username=hexloader";
}

void TPostgresServer::Kill() { Script("kill"); }
void TPostgresServer::Restart() { Script("restart"); }

}  // namespace hexloader::test
