#pragma once
// Runs the code in its scope with the effective identity of an ordinary user ("nobody", no
// supplementary groups), the way an operator's process meets device permissions; root is restored
// when it ends. Only root can switch, so Active() is false for any other caller (skip the test then).
#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <vector>

namespace hexloader::test {

class TAsOrdinaryUser {
 public:
  TAsOrdinaryUser() {
    const passwd* nobody = ::getpwnam("nobody");
    if (::geteuid() != 0 || nobody == nullptr) return;
    const int count = ::getgroups(0, nullptr);
    SavedGroups_.resize(count > 0 ? count : 0);
    if (count > 0) ::getgroups(count, SavedGroups_.data());
    // Groups before the user: once the user is not root, the groups can no longer be changed.
    Switched_ = true;
    Active_ = ::setgroups(0, nullptr) == 0 && ::setegid(nobody->pw_gid) == 0 && ::seteuid(nobody->pw_uid) == 0;
  }
  ~TAsOrdinaryUser() {
    if (!Switched_) return;
    (void)::seteuid(0);
    (void)::setegid(0);
    (void)::setgroups(SavedGroups_.size(), SavedGroups_.data());
  }
  TAsOrdinaryUser(const TAsOrdinaryUser&) = delete;
  TAsOrdinaryUser& operator=(const TAsOrdinaryUser&) = delete;

  bool Active() const { return Active_; }

 private:
  bool Switched_ = false;
  bool Active_ = false;
  std::vector<gid_t> SavedGroups_;
};

// The numeric id of a group, or -1 when this machine has no such group.
inline int GroupId(const char* Name) {
  const group* g = ::getgrnam(Name);
  return g ? static_cast<int>(g->gr_gid) : -1;
}

}  // namespace hexloader::test
