#include "base/messages.h"

#include <gtest/gtest.h>

#include <string>

#include "base/text_format.h"

namespace qb {
namespace {

using message_check::Matches;

// The check behind every catalogue definition, case by case: the
// conversions of a text against its declared argument types.
TEST(MessageCheck, ConversionsAgainstDeclaredTypes) {
  const struct {
    const char* name;
    bool matches;
    bool expected;
  } cases[] = {
      {"%08lX unsigned long", Matches<unsigned long>("API result %08lX"), true},
      {"%08lX unsigned", Matches<unsigned>("API result %08lX"), false},
      {"%lu long", Matches<long>("sector %lu"), false},
      {"%ld %ld", Matches<long, long>("between %ld and %ld"), true},
      {"%ld %ld one argument", Matches<long>("between %ld and %ld"), false},
      {"%d", Matches<int>("Slot %d not available"), true},
      {"%d unsigned", Matches<unsigned>("Slot %d not available"), false},
      {"%u %02X", Matches<unsigned, unsigned>("%u (0x%02X)"), true},
      {"%s", Matches<const char*>("Opening file %s"), true},
      {"%s int", Matches<int>("Opening file %s"), false},
      {"%.1f", Matches<unsigned long, double>("%lu sectors (%.1f MB)"), true},
      {"order matters", Matches<double, unsigned long>("%lu sectors (%.1f MB)"), false},
      {"%% takes none", Matches<int>("%d %%"), true},
      {"%% without arguments", Matches<>("100%%"), false},
      {"no conversions", Matches<>("User abort"), true},
      {"unused argument", Matches<int>("User abort"), false},
      {"missing argument", Matches<>("Opening file %s"), false},
      {"trailing %", Matches<>("50 %"), false},
      {"%lld", Matches<long>("%lld"), false},
      {"%c", Matches<int>("%c"), false},
      {"%ls", Matches<const char*>("%ls"), false},
      {"%1 %2", Matches<TextArg, TextArg>("file\n%1\n\n(%2)"), true},
      {"%1 twice", Matches<TextArg>("%1 and %1"), true},
      {"%2 without %1", Matches<TextArg>("%2"), false},
      {"%2 undeclared", Matches<TextArg>("%1 %2"), false},
      {"declared %2 unused", Matches<TextArg, TextArg>("'%1'"), false},
      {"%s in a positional text", Matches<TextArg>("%1 %s"), false},
      {"placeholder without its text", Matches<>("'%1'"), false},
      {"text and number mixed", Matches<TextArg, int>("%1 %d"), false},
  };
  for (const auto& c : cases) EXPECT_EQ(c.matches, c.expected) << c.name;
}

TEST(MessageCheck, TheCatalogueKeepsItsIdsAndTexts) {
  EXPECT_EQ(msg::kApiResult.id, 480);
  EXPECT_STREQ(LoadMessage(msg::kApiResult.id), msg::kApiResult.text);
  EXPECT_STREQ(LoadMessage(msg::kMenuCardRead), "&Read...\tCtrl+R");
  EXPECT_EQ(msg::kDialogSelectDriveTitle.id, 61002);
}

TEST(FillMessage, ArgumentsTakeTheDeclaredTypes) {
  // An int for %08lX is converted to unsigned long at the call.
  EXPECT_EQ(FillMessage(msg::kApiResult, 0x1A2B), "API result 00001A2B");
  EXPECT_EQ(FillMessage(msg::kFocus, 7, 9, 3, 1), "focus 7/9@3, select=1");
  EXPECT_EQ(FillMessage(msg::kCapacity, 2048, 1.0), "Capacity 2048 sectors (approx. 1.0 MB)");
  EXPECT_EQ(FillMessage(msg::kUserAbort), "User abort");
}

TEST(FillMessage, PlaceholdersAreFilledInOnePass) {
  // A placed text that holds a placeholder or a conversion stays as it is.
  EXPECT_EQ(FillMessage(msg::kCannotOverwrite, "a%2b", "%s"),
            "ERROR!\nCannot overwrite target file\na%2b\n\n(%s)");
  EXPECT_EQ(FillMessage(msg::kDestinationExists, ""),
            "WARNING!\nDestination file already exists!\n\nAre you sure to overwrite the file\n ?");
}

}  // namespace
}  // namespace qb
