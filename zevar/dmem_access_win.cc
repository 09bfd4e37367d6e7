#include "zevar/dmem_access_win.h"

#include <aclapi.h>

namespace dmem_os {
namespace {

// The token's user SID and mandatory level, into the record's buffers.
bool ReadToken(UserOnlyAccess* access) {
  HANDLE token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  alignas(DWORD) BYTE info[sizeof(TOKEN_MANDATORY_LABEL) + SECURITY_MAX_SID_SIZE];
  DWORD size;
  bool ok =
      GetTokenInformation(token, TokenUser, info, sizeof info, &size) &&
      CopySid(sizeof access->user, access->user, reinterpret_cast<TOKEN_USER*>(info)->User.Sid);
  // A system without levels (before Vista) has none: every level passes.
  access->integrity = 0;
  if (ok && GetTokenInformation(token, TokenIntegrityLevel, info, sizeof info, &size)) {
    PSID level = reinterpret_cast<TOKEN_MANDATORY_LABEL*>(info)->Label.Sid;
    ok = CopySid(sizeof access->level, access->level, level);
    access->integrity = *GetSidSubAuthority(level, *GetSidSubAuthorityCount(level) - 1);
  }
  CloseHandle(token);
  return ok;
}

// The level of the object's mandatory label; none means medium.
DWORD LabelLevel(PACL sacl) {
  ACL_SIZE_INFORMATION size{};
  if (sacl && GetAclInformation(sacl, &size, sizeof size, AclSizeInformation)) {
    for (DWORD i = 0; i < size.AceCount; ++i) {
      void* ace;
      if (!GetAce(sacl, i, &ace)) continue;
      if (static_cast<ACE_HEADER*>(ace)->AceType != SYSTEM_MANDATORY_LABEL_ACE_TYPE) continue;
      PSID level = &static_cast<SYSTEM_MANDATORY_LABEL_ACE*>(ace)->SidStart;
      return *GetSidSubAuthority(level, *GetSidSubAuthorityCount(level) - 1);
    }
  }
  return SECURITY_MANDATORY_MEDIUM_RID;
}

// Every entry of the access list is about the process's user.
bool OnlyUser(PACL dacl, PSID user) {
  ACL_SIZE_INFORMATION size{};
  if (dacl == nullptr || !GetAclInformation(dacl, &size, sizeof size, AclSizeInformation))
    return false;  // a null list lets everybody in
  for (DWORD i = 0; i < size.AceCount; ++i) {
    void* ace;
    if (!GetAce(dacl, i, &ace)) return false;
    BYTE type = static_cast<ACE_HEADER*>(ace)->AceType;
    if (type != ACCESS_ALLOWED_ACE_TYPE && type != ACCESS_DENIED_ACE_TYPE) return false;
    // Both kinds keep the SID at the same place.
    if (!EqualSid(&static_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart, user)) return false;
  }
  return true;
}

}  // namespace

bool MakeUserOnlyAccess(DWORD rights, UserOnlyAccess* access) {
  auto* acl = reinterpret_cast<ACL*>(access->acl);
  if (!ReadToken(access) || !InitializeAcl(acl, sizeof access->acl, ACL_REVISION) ||
      !AddAccessAllowedAce(acl, ACL_REVISION, rights, access->user) ||
      !InitializeSecurityDescriptor(&access->descriptor, SECURITY_DESCRIPTOR_REVISION) ||
      !SetSecurityDescriptorDacl(&access->descriptor, TRUE, acl, FALSE) ||
      // Explicitly: an elevated token's default owner is the Administrators group.
      !SetSecurityDescriptorOwner(&access->descriptor, access->user, FALSE))
    return false;
  // Without a label Windows keeps a lower level from writing only.
  auto* label = reinterpret_cast<ACL*>(access->label);
  constexpr DWORD kNoUp = SYSTEM_MANDATORY_LABEL_NO_WRITE_UP | SYSTEM_MANDATORY_LABEL_NO_READ_UP |
                          SYSTEM_MANDATORY_LABEL_NO_EXECUTE_UP;
  if (access->integrity && (!InitializeAcl(label, sizeof access->label, ACL_REVISION) ||
                            !AddMandatoryAce(label, ACL_REVISION, 0, kNoUp, access->level) ||
                            !SetSecurityDescriptorSacl(&access->descriptor, TRUE, label, FALSE)))
    return false;
  access->attributes = {sizeof access->attributes, &access->descriptor, FALSE};
  return true;
}

bool IsOwnObject(HANDLE object, const UserOnlyAccess& access) {
  PSID owner = nullptr;
  PACL dacl = nullptr, sacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  DWORD parts = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
  if (access.integrity) parts |= LABEL_SECURITY_INFORMATION;
  if (GetSecurityInfo(object, SE_KERNEL_OBJECT, parts, &owner, nullptr, &dacl, &sacl,
                      &descriptor) != ERROR_SUCCESS)
    return false;
  PSID user = const_cast<BYTE*>(access.user);
  // Windows labels what a process below medium makes; above, it leaves the
  // label out (medium): a level up to medium is the one to compare.
  DWORD level = access.integrity < SECURITY_MANDATORY_MEDIUM_RID ? access.integrity
                                                                 : SECURITY_MANDATORY_MEDIUM_RID;
  bool own = owner && EqualSid(owner, user) && OnlyUser(dacl, user) &&
             (access.integrity == 0 || LabelLevel(sacl) >= level);
  LocalFree(descriptor);
  return own;
}

}  // namespace dmem_os
