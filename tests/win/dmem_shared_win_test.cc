// The allocator's named objects: the mutex and the page-file-backed section
// that the modules of a process share.
#include <aclapi.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "zevar/dmem.h"
#include "zevar/dmem_layout.h"
#include "zevar/dmem_os.h"

using namespace dmem;

namespace {

// The name of the allocator's mutex ('s') or section ('m').
std::string ObjectName(char first) {
  char name[64];
  std::snprintf(name, sizeof name, "%c.zevar.mks.--.2.0.%lX", first, GetCurrentProcessId());
  return name;
}

// Opens the allocator's mutex or section with `rights`.
HANDLE OpenObject(char first, DWORD rights) {
  return first == 's' ? OpenMutexA(rights, FALSE, ObjectName(first).c_str())
                      : OpenFileMappingA(rights, FALSE, ObjectName(first).c_str());
}

// The process's user or integrity level (`kind`), in `buffer`.
PSID ProcessSid(TOKEN_INFORMATION_CLASS kind,
                BYTE (&buffer)[sizeof(TOKEN_MANDATORY_LABEL) + SECURITY_MAX_SID_SIZE]) {
  HANDLE token;
  DWORD size;
  EXPECT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
  EXPECT_TRUE(GetTokenInformation(token, kind, buffer, sizeof buffer, &size));
  CloseHandle(token);
  // Both records start with a SID_AND_ATTRIBUTES.
  return reinterpret_cast<SID_AND_ATTRIBUTES*>(buffer)->Sid;
}

}  // namespace

// Before, the mutex had a null access list: anybody could open it with every
// right, and hold it to stop every module of the process from starting.
TEST(DMemSharedWinTest, OnlyTheProcessUserMayOpenTheNamedObjects) {
  alignas(DWORD) BYTE user_buffer[sizeof(TOKEN_MANDATORY_LABEL) + SECURITY_MAX_SID_SIZE];
  alignas(DWORD) BYTE level_buffer[sizeof(TOKEN_MANDATORY_LABEL) + SECURITY_MAX_SID_SIZE];
  PSID user = ProcessSid(TokenUser, user_buffer);
  PSID level = ProcessSid(TokenIntegrityLevel, level_buffer);
  const struct {
    char first;
    DWORD rights;
  } kObjects[] = {{'s', SYNCHRONIZE | MUTEX_MODIFY_STATE | READ_CONTROL},
                  {'m', SECTION_QUERY | SECTION_MAP_READ | SECTION_MAP_WRITE | READ_CONTROL}};
  for (const auto& object : kObjects) {
    SCOPED_TRACE(object.first);
    HANDLE handle = OpenObject(object.first, READ_CONTROL);
    ASSERT_NE(handle, nullptr);
    PSID owner;
    PACL dacl, sacl;
    PSECURITY_DESCRIPTOR descriptor;
    ASSERT_EQ(GetSecurityInfo(handle, SE_KERNEL_OBJECT,
                              OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                  LABEL_SECURITY_INFORMATION,
                              &owner, nullptr, &dacl, &sacl, &descriptor),
              DWORD(ERROR_SUCCESS));
    EXPECT_TRUE(EqualSid(owner, user));
    // One entry, for the user: nobody else may open it.
    ASSERT_NE(dacl, nullptr);
    ASSERT_EQ(dacl->AceCount, 1);
    ACCESS_ALLOWED_ACE* ace;
    ASSERT_TRUE(GetAce(dacl, 0, reinterpret_cast<void**>(&ace)));
    EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_EQ(ace->Mask, object.rights);
    EXPECT_TRUE(EqualSid(&ace->SidStart, user));
    // A lower level of that user can neither read nor write it.
    ASSERT_NE(sacl, nullptr);
    SYSTEM_MANDATORY_LABEL_ACE* label;
    ASSERT_TRUE(GetAce(sacl, 0, reinterpret_cast<void**>(&label)));
    EXPECT_EQ(label->Header.AceType, SYSTEM_MANDATORY_LABEL_ACE_TYPE);
    EXPECT_EQ(label->Mask,
              DWORD(SYSTEM_MANDATORY_LABEL_NO_WRITE_UP | SYSTEM_MANDATORY_LABEL_NO_READ_UP |
                    SYSTEM_MANDATORY_LABEL_NO_EXECUTE_UP));
    EXPECT_TRUE(EqualSid(&label->SidStart, level));
    LocalFree(descriptor);
    CloseHandle(handle);
  }
}

// A second module of the process opens the objects the first one made; one
// that another process planted under the name (here with the system's default
// security, or none) is never used.
TEST(DMemSharedWinTest, ObjectsMadeByAnotherAreNotUsed) {
  void* mutex = dmem_os::NamedMutexOpen(ObjectName('s').c_str());
  EXPECT_NE(mutex, nullptr);
  uintptr_t mapping = 0;
  void* view = dmem_os::SectionOpen(ObjectName('m').c_str(), sizeof(DMemShared), &mapping);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(static_cast<DMemShared*>(view)->view, g_shared);
  dmem_os::SectionClose(view, mapping);
  if (mutex) dmem_os::NamedMutexClose(mutex);

  SECURITY_DESCRIPTOR open_to_all;
  ASSERT_TRUE(InitializeSecurityDescriptor(&open_to_all, SECURITY_DESCRIPTOR_REVISION));
  ASSERT_TRUE(SetSecurityDescriptorDacl(&open_to_all, TRUE, nullptr, FALSE));
  SECURITY_ATTRIBUTES attributes{sizeof attributes, &open_to_all, FALSE};
  for (SECURITY_ATTRIBUTES* planted : {static_cast<SECURITY_ATTRIBUTES*>(nullptr), &attributes}) {
    std::string name = "s.vlx.planted." + std::to_string(planted != nullptr);
    HANDLE squatter = CreateMutexA(planted, FALSE, name.c_str());
    ASSERT_NE(squatter, nullptr);
    EXPECT_EQ(dmem_os::NamedMutexOpen(name.c_str()), nullptr);
    CloseHandle(squatter);
    squatter =
        CreateFileMappingA(INVALID_HANDLE_VALUE, planted, PAGE_READWRITE, 0, 4096, name.c_str());
    ASSERT_NE(squatter, nullptr);
    EXPECT_EQ(dmem_os::SectionOpen(name.c_str(), 4096, &mapping), nullptr);
    CloseHandle(squatter);
  }
}

TEST(DMemSharedWinTest, ARegionThatMovedToGrowKeepsRoomToGrowInPlace) {
  const size_t mib = size_t(1) << 20;
  auto* first = static_cast<unsigned char*>(DMemAlloc(mib));
  ASSERT_NE(first, nullptr);
  std::memset(first, 7, mib);
  // The first growth moves it to a region with room after it...
  auto* moved = static_cast<unsigned char*>(DMemRealloc(first, 2 * mib));
  ASSERT_NE(moved, nullptr);
  // ...where the next steps stay.
  auto* grown = static_cast<unsigned char*>(DMemRealloc(moved, 3 * mib));
  EXPECT_EQ(grown, moved);
  grown = static_cast<unsigned char*>(DMemRealloc(grown, 4 * mib));
  ASSERT_EQ(grown, moved);
  EXPECT_EQ(grown[mib - 1], 7);
  std::memset(grown + 3 * mib, 9, mib);
  // Shrinking gives the tail back and keeps the place.
  EXPECT_EQ(DMemRealloc(grown, mib + 100), grown);
  EXPECT_EQ(DMemRealloc(grown, 4 * mib), grown);
  EXPECT_EQ(grown[0], 7);
  DMemFree(grown);
}
