// Who may open the allocator's named mutex and section: the user the process
// runs as, with only the rights the modules of the process use. Nobody else
// needs them: the names carry the process id, and only this process's
// modules share the state.
#pragma once

#include <windows.h>

namespace dmem_os {

// A security descriptor whose access list grants `rights` to the process's
// user alone, labelled with the process's integrity level so that a process
// of that user at a lower level can neither read nor write it. It lives in
// the record, so nothing is allocated: the allocator is not running yet when
// it is made.
struct UserOnlyAccess {
  SECURITY_ATTRIBUTES attributes;
  SECURITY_DESCRIPTOR descriptor;
  DWORD integrity;  // the process's mandatory level (its RID)
  alignas(DWORD) BYTE user[SECURITY_MAX_SID_SIZE];
  alignas(DWORD) BYTE level[SECURITY_MAX_SID_SIZE];
  alignas(DWORD) BYTE acl[sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + SECURITY_MAX_SID_SIZE];
  alignas(
      DWORD) BYTE label[sizeof(ACL) + sizeof(SYSTEM_MANDATORY_LABEL_ACE) + SECURITY_MAX_SID_SIZE];
};

// False when the process's user or the descriptor cannot be had.
[[nodiscard]] bool MakeUserOnlyAccess(DWORD rights, UserOnlyAccess* access);

// An object that existed before this module asked for it is used only when
// its owner is the process's user, its access list names nobody else, and
// its integrity level is not below the process's: a process of another user,
// or of this user at a lower level, cannot plant the state that the
// allocator trusts. The handle needs READ_CONTROL.
[[nodiscard]] bool IsOwnObject(HANDLE object, const UserOnlyAccess& access);

}  // namespace dmem_os
