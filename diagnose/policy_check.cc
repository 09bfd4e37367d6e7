#include "diagnose/policy_check.h"

#include <cstring>

namespace {

// A policy's value and the key it was read from: the machine's policy
// overrides the user's.
struct PolicyValue {
  bool set = false;
  DString where;
};

Lookup ReadPolicyList(DiagnoseSystem* system, const char* policies, const char* name,
                      DString* lines, PolicyValue* value) {
  const Hive kOrder[] = {Hive::kLocalMachine, Hive::kCurrentUser};
  for (Hive hive : kOrder) {
    DString key;
    if (!Join(&key, "SOFTWARE\\Policies\\", policies, "\\", name)) return Lookup::kFailed;
    View view = hive == Hive::kLocalMachine ? View::k64 : View::kShared;
    Lookup found = system->ReadList(hive, view, key.c_str(), lines);
    if (found == Lookup::kMissing) continue;
    value->set = found == Lookup::kFound;
    if (!Join(&value->where, HiveName(hive), "\\", key.c_str())) return Lookup::kFailed;
    return found;
  }
  return Lookup::kMissing;
}

Lookup ReadUserLevel(DiagnoseSystem* system, const char* policies, uint32_t* number,
                     PolicyValue* value) {
  const Hive kOrder[] = {Hive::kLocalMachine, Hive::kCurrentUser};
  DString key;
  if (!Join(&key, "SOFTWARE\\Policies\\", policies)) return Lookup::kFailed;
  for (Hive hive : kOrder) {
    View view = hive == Hive::kLocalMachine ? View::k64 : View::kShared;
    Lookup found =
        system->ReadNumber(hive, view, key.c_str(), "NativeMessagingUserLevelHosts", number);
    if (found == Lookup::kMissing) continue;
    value->set = found == Lookup::kFound;
    if (!Join(&value->where, HiveName(hive), "\\", key.c_str(), " NativeMessagingUserLevelHosts"))
      return Lookup::kFailed;
    return found;
  }
  return Lookup::kMissing;
}

}  // namespace

bool ListNamesHost(const char* lines, const char* host) {
  size_t host_length = std::strlen(host);
  for (const char* line = lines; *line;) {
    const char* end = std::strchr(line, '\n');
    size_t length = end ? size_t(end - line) : std::strlen(line);
    if ((length == 1 && line[0] == '*') ||
        (length == host_length && std::memcmp(line, host, length) == 0))
      return true;
    if (!end) break;
    line = end + 1;
  }
  return false;
}

void CheckPolicies(DiagnoseSystem* system, Report& report, const BrowserPlaces& browser,
                   const char* host, PolicyOutcome* outcome) {
  *outcome = PolicyOutcome();
  if (!browser.policies) return;
  const char* name = browser.name;
  DString block_lines, allow_lines;
  PolicyValue block, allow, user_level;
  uint32_t user_level_number = 1;
  if (ReadPolicyList(system, browser.policies, "NativeMessagingBlocklist", &block_lines, &block) ==
          Lookup::kFailed ||
      ReadPolicyList(system, browser.policies, "NativeMessagingAllowlist", &allow_lines, &allow) ==
          Lookup::kFailed ||
      ReadUserLevel(system, browser.policies, &user_level_number, &user_level) == Lookup::kFailed) {
    report.Problem(name, "Run the check again as a user who may read the policies.",
                   "its policies cannot be read.");
    return;
  }
  bool listed = block.set && ListNamesHost(block_lines.c_str(), host);
  bool allowed = allow.set && ListNamesHost(allow_lines.c_str(), host);
  if (listed && !allowed) {
    outcome->blocked = true;
    report.Problem(name,
                   "Ask the administrator to add the host's name to NativeMessagingAllowlist or "
                   "take it out of NativeMessagingBlocklist.",
                   "policy NativeMessagingBlocklist (", block.where.c_str(), ") blocks ", host,
                   " and no NativeMessagingAllowlist names it: the browser refuses to start it "
                   "(\"Access to the specified native messaging host is forbidden.\").");
  } else if (listed) {
    report.Ok(name, "policy NativeMessagingBlocklist (", block.where.c_str(),
              ") would block the host, but NativeMessagingAllowlist (", allow.where.c_str(),
              ") names it.");
  }
  if (user_level.set && user_level_number == 0) {
    outcome->user_level_hosts = false;
    if (!outcome->user_level_source.Assign(user_level.where.c_str())) {
      report.Problem(name, "Run the check again.", "out of memory.");
      return;
    }
    report.Note(name, "policy ", user_level.where.c_str(),
                " is 0: registrations under HKCU (the per-user package) are ignored.");
  }
}
