#include "phrase_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace rtrillex {
namespace {

AttachmentPtr Picture(std::vector<std::uint8_t> png) {
  return PictureAttachment({2, 3, std::make_shared<const std::vector<std::uint8_t>>(std::move(png)), nullptr});
}

std::wstring Labels(const PhraseList& list) {
  std::wstring labels;
  for (const Phrase& phrase : list.phrases()) labels += phrase.separator ? L"-" : phrase.label;
  return labels;
}

TEST(PhraseList, TheKeyThatPinnedAnEntryFindsItsPhraseAndNoOtherKindsOrContents) {
  PhraseList list;
  const AttachmentPtr screenshot = Picture({1, 2, 3});
  const AttachmentPtr files = FilesAttachment({L"C:\\a.txt", L"C:\\b.txt"});
  const PhraseId text = list.Pin(L"hello", nullptr);
  const PhraseId picture = list.Pin(L"[画像COPY]", screenshot);
  const PhraseId fileList = list.Pin(FilesEntry(files->files), files);
  const PhraseId reading = list.Pin(L"[画像COPY]", PictureAttachment({}));
  list.AddSeparator();

  EXPECT_EQ(list.FindPinned(L"hello", nullptr), text);
  EXPECT_EQ(list.FindPinned(L"hello", PictureAttachment({})), 0u) << "a picture whose tag is the text";
  EXPECT_EQ(list.FindPinned(L"hello ", nullptr), 0u);
  EXPECT_EQ(list.FindPinned(L"[画像COPY]", Picture({1, 2, 3})), picture) << "the same bytes, copied again";
  EXPECT_EQ(list.FindPinned(L"[画像COPY]", Picture({1, 2, 4})), 0u);
  EXPECT_EQ(list.FindPinned(L"C:\\a.txt\r\nC:\\b.txt", FilesAttachment({L"C:\\a.txt", L"C:\\b.txt"})), fileList);
  EXPECT_EQ(list.FindPinned(L"C:\\a.txt\r\nC:\\b.txt", nullptr), 0u) << "the paths as a text";
  EXPECT_EQ(list.FindPinned(L"[画像COPY]", PictureAttachment({})), 0u) << "two pictures not read yet are not alike";
  EXPECT_EQ(list.FindPinned(L"", nullptr), 0u) << "a separator is no entry";

  EXPECT_EQ(list.Find(picture)->kind(), EntryKind::Picture);
  EXPECT_EQ(KeptFrom(*list.Find(picture)).picture, screenshot->picture.png);
  EXPECT_EQ(KeptFrom(*list.Find(fileList)).kind, EntryKind::Files);
  // Loaded again, each is found by the same entry: files by their paths.
  const Phrase loadedFiles = PhraseFrom(KeptFrom(*list.Find(fileList)));
  ASSERT_TRUE(loadedFiles.attachment);
  EXPECT_EQ(loadedFiles.attachment->files, files->files);
  const Phrase loadedText = PhraseFrom(KeptFrom(*list.Find(text)));
  EXPECT_FALSE(loadedText.attachment);
  EXPECT_EQ(loadedText.text, L"hello");
  EXPECT_EQ(PhraseFrom(KeptFrom(*list.Find(picture))).kind(), EntryKind::Picture);
  EXPECT_TRUE(list.Remove(text));
  EXPECT_EQ(list.FindPinned(L"hello", nullptr), 0u);
  EXPECT_TRUE(list.Remove(reading));
}

TEST(PhraseList, LabelsAreTheFirstLineShortenedOrTheCopysOwnLabel) {
  const std::wstring longLine(40, L'あ');
  // A surrogate pair (as UTF-16 units, whatever wchar_t is) that the cut would split.
  const std::wstring pairAtCut = std::wstring(28, L'x') + L"\xD83C\xDF89tail";
  const struct {
    std::wstring text;
    std::wstring label;
  } cases[] = {
      {L"Dear Sir,\r\nbody", L"Dear Sir,"},
      {L"\r\n \t\n\u3000 宛先：山田様 \u3000\r\n本文", L"宛先：山田様"},
      {L"\r\rlast line", L"last line"},
      {longLine, std::wstring(29, L'あ') + L"…"},
      {std::wstring(30, L'a'), std::wstring(30, L'a')},
      {pairAtCut, std::wstring(28, L'x') + L"…"},
      {L" \r\n\u3000", L"（空白）"},
  };
  for (const auto& c : cases) EXPECT_EQ(DefaultLabel(c.text, nullptr), c.label) << c.label;
  EXPECT_EQ(DefaultLabel(L"C:\\docs\\report.docx\r\nC:\\b.txt", FilesAttachment({L"C:\\docs\\report.docx", L"C:\\b.txt"})),
            L"report.docx ほか 1 件");
  EXPECT_EQ(DefaultLabel(L"[画像COPY]", Picture({1})), L"画像 2x3");

  PhraseList list;
  EXPECT_EQ(list.Find(list.AddText(L"", L"\n署名\n"))->label, L"署名");
  EXPECT_EQ(list.Find(list.AddText(L"挨拶", L"こんにちは"))->label, L"挨拶");
}

TEST(PhraseList, IdsAreNeverGivenTwiceNotEvenAfterTheLastPhraseWentOrAfterALoad) {
  PhraseList list;
  const PhraseId first = list.AddText(L"a", L"a");
  const PhraseId second = list.AddText(L"b", L"b");
  EXPECT_TRUE(list.Remove(second));
  EXPECT_FALSE(list.Remove(second));
  EXPECT_EQ(list.Find(second), nullptr);
  const PhraseId third = list.AddSeparator();
  EXPECT_GT(third, second);
  EXPECT_EQ(list.Ids(), (std::vector<PhraseId>{first, third}));

  // A store that lost track of its next id (a file carried over) still never
  // gives a loaded phrase's id again.
  PhraseList loaded({{7, false, L"x", L"x", nullptr}, {3, true, {}, {}, nullptr}}, 2);
  const PhraseId added = loaded.AddText(L"y", L"y");
  EXPECT_EQ(added, 8u);
  EXPECT_EQ(loaded.Ids(), (std::vector<PhraseId>{7, 3, 8}));
}

TEST(PhraseList, MovesStopAtTheEndsAndEditsOnlyWhatAPhraseHas) {
  PhraseList list;
  const PhraseId a = list.AddText(L"A", L"a");
  const PhraseId b = list.Pin(L"[画像COPY]", Picture({9}));
  const PhraseId c = list.AddText(L"C", L"c");
  list.Rename(b, L"B");
  EXPECT_FALSE(list.MoveUp(a));
  EXPECT_FALSE(list.MoveDown(c));
  EXPECT_EQ(Labels(list), L"ABC");
  EXPECT_TRUE(list.MoveDown(a));
  EXPECT_EQ(Labels(list), L"BAC");
  EXPECT_TRUE(list.MoveUp(c));
  EXPECT_EQ(Labels(list), L"BCA");
  EXPECT_FALSE(list.MoveDown(a));
  EXPECT_FALSE(list.MoveUp(99));
  EXPECT_FALSE(list.MoveDown(99));

  const PhraseId line = list.AddSeparator(b);
  EXPECT_EQ(Labels(list), L"B-CA");
  EXPECT_EQ(list.AddSeparator(99), 0u);
  EXPECT_EQ(list.size(), 4u);
  EXPECT_FALSE(list.Rename(line, L"x"));
  EXPECT_FALSE(list.EditText(line, L"x"));
  EXPECT_FALSE(list.EditText(b, L"x")) << "a picture's text is its tag";
  EXPECT_TRUE(list.EditText(c, L"changed"));
  EXPECT_EQ(list.Find(c)->text, L"changed");
  EXPECT_EQ(list.Find(c)->label, L"C") << "a label the person gave stays";

  // Typed in after the phrase selected; named by its text until renamed.
  const PhraseId typed = list.AddText(L"", L"", a);
  EXPECT_EQ(list.PositionOf(typed), list.PositionOf(a) + 1);
  EXPECT_EQ(list.AddText(L"", L"", 99), 0u);
  list.EditText(typed, L"\n よろしくお願いします\n");
  EXPECT_EQ(list.Find(typed)->label, L"よろしくお願いします");
  list.Rename(typed, L"結び");
  list.EditText(typed, L"以上");
  EXPECT_EQ(list.Find(typed)->label, L"結び");
  list.Rename(typed, L" 　");
  EXPECT_EQ(list.Find(typed)->label, L"以上") << "a blank label is the default one again";
}

TEST(PhraseList, AccessKeysSkipSeparatorsAndStopAtZ) {
  PhraseList list;
  list.AddSeparator();
  for (int i = 0; i < 30; ++i) {
    list.AddText(std::to_wstring(i), L"t");
    if (i == 1) list.AddSeparator();
  }
  EXPECT_EQ(AccessKey(list, 0), 0);
  EXPECT_EQ(AccessKey(list, 1), L'A');
  EXPECT_EQ(AccessKey(list, 2), L'B');
  EXPECT_EQ(AccessKey(list, 3), 0);
  EXPECT_EQ(AccessKey(list, 4), L'C');
  EXPECT_EQ(AccessKey(list, 27), L'Z');
  EXPECT_EQ(AccessKey(list, 28), 0);
  EXPECT_EQ(AccessKey(list, list.size()), 0);
}

TEST(PhraseList, TheMenuShowsTheFirstPhrasesAndMoreWhenThereAreOthers) {
  PhraseList list;
  EXPECT_EQ(PhrasesInMenu(list).count, 0u);
  EXPECT_FALSE(PhrasesInMenu(list).more);
  list.AddText(L"1", L"1");
  list.AddSeparator();
  list.AddText(L"2", L"2");
  list.AddSeparator();
  EXPECT_EQ(PhrasesInMenu(list, 2).count, 3u) << "no separator ends the section";
  EXPECT_FALSE(PhrasesInMenu(list, 2).more) << "a separator alone is nothing more to show";
  EXPECT_EQ(PhrasesInMenu(list, 1).count, 1u);
  EXPECT_TRUE(PhrasesInMenu(list, 1).more);

  for (int i = 0; i < 1000; ++i) list.AddText(L"p", L"p");
  const MenuPhrases menu = PhrasesInMenu(list);
  EXPECT_EQ(menu.count, kPhrasesInMenu + 2) << "the two separators among them";
  EXPECT_TRUE(menu.more);
  EXPECT_EQ(AccessKey(list, menu.count - 1), L'Z') << "every phrase shown has its key";
}

TEST(PhraseList, SearchFindsPhrasesByLabelTextAndPictureWordsInMenuOrder) {
  PhraseList list;
  const PhraseId address = list.AddText(L"住所", L"東京都千代田区");
  list.AddSeparator();
  const PhraseId picture = list.Pin(L"[画像COPY]", Picture({5}));
  const PhraseId greeting = list.AddText(L"Greeting", L"ｺﾝﾆﾁﾊ 千代田");
  list.Rename(picture, L"ロゴ");

  EXPECT_EQ(MatchingPhrases(list, SearchQuery(L"千代田")), (std::vector<PhraseId>{address, greeting}));
  EXPECT_EQ(MatchingPhrases(list, SearchQuery(L"住所 千代田")), (std::vector<PhraseId>{address}))
      << "one word in the label, the other in the text";
  EXPECT_EQ(MatchingPhrases(list, SearchQuery(L"ロゴ image")), (std::vector<PhraseId>{picture}));
  EXPECT_EQ(MatchingPhrases(list, SearchQuery(L"コンニチハ greeting")), (std::vector<PhraseId>{greeting}));
  EXPECT_EQ(MatchingPhrases(list, SearchQuery(L"")), (std::vector<PhraseId>{address, picture, greeting}))
      << "every phrase, never a separator";
  EXPECT_TRUE(MatchingPhrases(list, SearchQuery(L"所東")).empty()) << "no word runs from the label into the text";
}

}  // namespace
}  // namespace rtrillex

namespace rtrillex {
namespace {

Phrase TextPhrase(const std::wstring& label, const std::wstring& text) { return {0, false, label, text, nullptr}; }

// Another PC's set taken in: its order and labels win, what it removed goes,
// and nothing added here since the set both knew is lost.
TEST(PhraseList, ASharedSetTakenInKeepsWhatWasAddedHereSinceAndDropsWhatTheOtherPcRemoved) {
  PhraseList here;
  const PhraseId hello = here.AddText(L"挨拶", L"おはよう");
  here.AddText(L"住所", L"東京都");
  here.AddSeparator();
  const PhraseId added = here.AddText(L"新しい", L"added here");
  const std::vector<Phrase> known = {TextPhrase(L"挨拶", L"おはよう"), TextPhrase(L"住所", L"東京都"),
                                     Phrase{0, true, L"", L"", nullptr}};
  // There: 住所 removed, the greeting renamed, a phone number before it.
  const std::vector<Phrase> arrived = {TextPhrase(L"電話", L"03-1234"), TextPhrase(L"朝", L"おはよう"),
                                       Phrase{0, true, L"", L"", nullptr}};
  bool keptHere = false;
  const std::vector<PhraseChange> changes = here.TakeShared(arrived, known, keptHere);
  EXPECT_EQ(Labels(here), L"電話朝-新しい");
  EXPECT_TRUE(keptHere) << "the set as it now stands is to be shared";
  EXPECT_EQ(here.At(1).id, hello) << "an equal phrase keeps its id";
  ASSERT_NE(here.Find(added), nullptr);
  ASSERT_FALSE(changes.empty());
  EXPECT_EQ(changes.back().kind, PhraseChange::Kind::Order);
  EXPECT_EQ(changes.back().ids, here.Ids());
  const auto removes = std::count_if(changes.begin(), changes.end(),
                                     [](const PhraseChange& change) { return change.kind == PhraseChange::Kind::Remove; });
  EXPECT_EQ(removes, 1) << "住所";
  // Whatever it is told: nothing known (the first look at the folder), nothing lost here.
  PhraseList fresh;
  fresh.AddText(L"", L"only here");
  fresh.TakeShared(arrived, {}, keptHere);
  EXPECT_EQ(Labels(fresh), L"only here電話朝-");
  EXPECT_TRUE(keptHere);
  // The same set again: nothing but the order to write, nothing to share.
  const std::size_t before = here.size();
  EXPECT_EQ(here.TakeShared(std::vector<Phrase>(here.phrases()), here.phrases(), keptHere).size(), 1u);
  EXPECT_FALSE(keptHere);
  EXPECT_EQ(here.size(), before);
}

}  // namespace
}  // namespace rtrillex
