#include "sync_folder.h"

#include <gtest/gtest.h>

#include <string>

namespace rtrillex {
namespace {

const InstallationId kOwn = {0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef,
                             0xfe, 0xdc, 0xba, 0x98, 0x76, 0x54, 0x32, 0x10};
const std::wstring kOwnHex = L"0123456789abcdeffedcba9876543210";
const InstallationId kOther = {0xa0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x0b};
const std::wstring kOtherHex = L"a000000000000000000000000000000b";

TEST(SyncFolder, AJournalIsNamedByItsInstallationInHex) {
  EXPECT_EQ(InstallationHex(kOwn), kOwnHex);
  EXPECT_EQ(JournalFileName(kOwn), kOwnHex + L".journal");
  EXPECT_EQ(InstallationFromHex(L"0123456789ABCDEFFEDCBA9876543210"), kOwn);
  EXPECT_FALSE(InstallationFromHex(kOwnHex.substr(1)));
  EXPECT_FALSE(InstallationFromHex(L"0123456789abcdeffedcba987654321g"));
}

TEST(SyncFolder, FilesAreKnownByTheirNames) {
  struct Case {
    std::wstring name;
    SyncFileKind kind;
    InstallationId installation;
  };
  const InstallationId none{};
  const Case cases[] = {
      {kOwnHex + L".journal", SyncFileKind::OwnJournal, kOwn},
      {L"0123456789ABCDEFFEDCBA9876543210.JOURNAL", SyncFileKind::OwnJournal, kOwn},
      {kOtherHex + L".journal", SyncFileKind::OtherJournal, kOther},
      {kOtherHex + L".sync-conflict-20261209-123456-ABCDEFG.journal", SyncFileKind::JournalConflictCopy, kOther},
      {kOtherHex + L" (書斎のPC's conflicted copy 2026-12-09).journal", SyncFileKind::JournalConflictCopy, kOther},
      {kOwnHex + L"-DESKTOP-4F2K.journal", SyncFileKind::JournalConflictCopy, kOwn},
      {kOwnHex + L" (1).journal", SyncFileKind::JournalConflictCopy, kOwn},
      {L"key", SyncFileKind::KeyFile, none},
      {L"KEY", SyncFileKind::KeyFile, none},
      {L"key.sync-conflict-20261209-123456-ABCDEFG", SyncFileKind::KeyConflictCopy, none},
      {L"key (PC's conflicted copy 2026-12-09)", SyncFileKind::KeyConflictCopy, none},
      {L"key-LAPTOP", SyncFileKind::KeyConflictCopy, none},
      {L".syncthing." + kOtherHex + L".journal.tmp", SyncFileKind::EngineTemporary, none},
      {L"~syncthing~" + kOtherHex + L".journal.tmp", SyncFileKind::EngineTemporary, none},
      {kOtherHex + L".journal.partial", SyncFileKind::EngineTemporary, none},
      {L".~lock.key#", SyncFileKind::EngineTemporary, none},
      {L"~$notes.docx", SyncFileKind::EngineTemporary, none},
      {L".dropbox", SyncFileKind::EngineTemporary, none},
      {L".dropbox.attr", SyncFileKind::EngineTemporary, none},
      {L"keyboard.txt", SyncFileKind::Other, none},
      {L"desktop.ini", SyncFileKind::Other, none},
      {kOtherHex + L"x.journal", SyncFileKind::Other, none},
      {kOtherHex.substr(2) + L".journal", SyncFileKind::Other, none},
      {kOtherHex + L".journa", SyncFileKind::Other, none},
      {kOtherHex, SyncFileKind::Other, none},
      {L".journal", SyncFileKind::Other, none},
      {L"", SyncFileKind::Other, none},
  };
  for (const Case& file : cases) {
    const SyncFile classified = ClassifySyncFile(file.name, kOwn);
    EXPECT_EQ(classified.kind, file.kind) << std::string(file.name.begin(), file.name.end());
    EXPECT_EQ(classified.installation, file.installation);
  }
}

}  // namespace
}  // namespace rtrillex
