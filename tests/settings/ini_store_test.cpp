#include <gtest/gtest.h>

#include <filesystem>

#include "base/error.h"
#include "settings/ini_document.h"
#include "settings/program_identity.h"
#include "settings/settings_store.h"
#include "temp_config.h"

namespace picaxo {
namespace {

namespace fs = std::filesystem;

TEST(ParseIniInteger, ReadsDecimalAndEveryHexadecimalSpelling) {
  EXPECT_EQ(ParseIniInteger("70"), 70);
  EXPECT_EQ(ParseIniInteger(" -12 "), -12);
  EXPECT_EQ(ParseIniInteger("+5"), 5);
  EXPECT_EQ(ParseIniInteger("0x1F"), 31);
  EXPECT_EQ(ParseIniInteger("0XfF"), 255);
  EXPECT_EQ(ParseIniInteger("$10"), 16);
  EXPECT_EQ(ParseIniInteger("-$10"), -16);
  EXPECT_EQ(ParseIniInteger("0xFFFFFFFF"), -1);
  EXPECT_EQ(ParseIniInteger("2147483647"), 2147483647);
  EXPECT_EQ(ParseIniInteger("-2147483648"), std::numeric_limits<int32_t>::min());
}

TEST(ParseIniInteger, RefusesWhatIsNotANumber) {
  for (const char* text : {"", " ", "yes", "1.5", "12abc", "0x", "$", "0x1G", "2147483648",
                           "0x100000000", "--1", "1 2", "99999999999999999999"}) {
    EXPECT_FALSE(ParseIniInteger(text).has_value()) << text;
  }
}

TEST(IniDocument, ReadsHandWrittenWindowsFilesAndMatchesNamesWithoutCase) {
  const TIniDocument doc(
      "; exported by hand\r\n"
      "[Other]\r\n"
      "InputDir=wrong\r\n"
      "[ picaxosettings ]\r\n"
      "INPUTDIR =C:\\My Photos\\2023 trip\\ \r\n"
      "outputdir=/home/u/out dir/with\\backslash\r\n"
      "Empty=\r\n");
  // Blanks around a name do not count; the value is the raw text, its blanks included.
  EXPECT_EQ(doc.Find("PicaxoSettings", "InputDir"), "C:\\My Photos\\2023 trip\\ ");
  EXPECT_EQ(doc.Find("PICAXOSETTINGS", "OutputDir"), "/home/u/out dir/with\\backslash");
  EXPECT_EQ(doc.Find("PicaxoSettings", "Empty"), "");
  EXPECT_FALSE(doc.Find("PicaxoSettings", "Missing").has_value());
  EXPECT_FALSE(doc.Find("Missing", "InputDir").has_value());
  // Rewriting keeps the Windows line ends and every other line.
  TIniDocument copy = doc;
  copy.Set("PicaxoSettings", "Zoom", "3");
  EXPECT_EQ(copy.Text(),
            "; exported by hand\r\n[Other]\r\nInputDir=wrong\r\n[ picaxosettings ]\r\n"
            "INPUTDIR =C:\\My Photos\\2023 trip\\ \r\n"
            "outputdir=/home/u/out dir/with\\backslash\r\nEmpty=\r\nZoom=3\r\n");
}

TEST(IniDocument, SetReplacesInPlaceAppendsSectionsAndKeepsEverythingElse) {
  TIniDocument doc("\xEF\xBB\xBF[A]\nx=1\n\n[B]\ny=2\n# note\n[a]\nz=3\n");
  doc.Set("a", "X", "10");  // replaced in place, spelling of the file kept
  doc.Set("b", "w", "4");   // appended after the last key of B, before its comment
  doc.Set("C", "v", "5");   // new section at the end
  EXPECT_EQ(doc.Text(), "\xEF\xBB\xBF[A]\nx=10\n\n[B]\ny=2\nw=4\n# note\n[a]\nz=3\n\n[C]\nv=5\n");
  EXPECT_EQ(doc.Find("A", "z"), "3");  // a section in two places counts as one
  doc.EraseSection("A");
  EXPECT_EQ(doc.Text(), "\xEF\xBB\xBF[A]\n\n[B]\ny=2\nw=4\n# note\n[a]\n\n[C]\nv=5\n");
}

TEST(IniDocument, RefusesWhatWouldReadBackAsSomethingElse) {
  TIniDocument doc;
  EXPECT_THROW(doc.Set("S", "k", "a\nInjected=1"), EPicaxoError);
  EXPECT_THROW(doc.Set("S", "k", "a\rb"), EPicaxoError);
  EXPECT_THROW(doc.Set("S]", "k", "v"), EPicaxoError);
  EXPECT_THROW(doc.Set("S", "a=b", "v"), EPicaxoError);
  EXPECT_THROW(doc.Set("S", "", "v"), EPicaxoError);
  EXPECT_THROW(doc.Set("", "k", "v"), EPicaxoError);
  EXPECT_THROW(doc.Set("S", "[k", "v"), EPicaxoError);
  EXPECT_EQ(doc.Text(), "");
  doc.Set("S", "k", "a = b ; c");
  EXPECT_EQ(TIniDocument(doc.Text()).Find("s", "K"), "a = b ; c");
}

using IniStore = TempConfig;

TEST_F(IniStore, ReadsTypedValuesWithDefaults) {
  const TIniSettingsStore store(
      Write("s.ini", "[S]\nq=70\nh=0x10\nd=$ff\nb=yes\nt=1\nf=0\nneg=-3\nstr= x y \nsp= 7 \n"));
  EXPECT_EQ(store.ReadInteger("s", "Q", 5), 70);
  EXPECT_EQ(store.ReadInteger("S", "h", 5), 16);
  EXPECT_EQ(store.ReadInteger("S", "d", 5), 255);
  EXPECT_EQ(store.ReadInteger("S", "b", 5), 5);
  EXPECT_EQ(store.ReadInteger("S", "missing", 5), 5);
  EXPECT_TRUE(store.ReadBool("S", "b", true));
  EXPECT_FALSE(store.ReadBool("S", "b", false));
  EXPECT_TRUE(store.ReadBool("S", "t", false));
  EXPECT_FALSE(store.ReadBool("S", "f", true));
  EXPECT_TRUE(store.ReadBool("S", "neg", false));
  EXPECT_EQ(store.ReadString("S", "str", "d"), " x y ");
  EXPECT_EQ(store.ReadInteger("S", "sp", 0), 7);
  EXPECT_EQ(store.ReadString("S", "none", "d"), "d");
}

TEST_F(IniStore, WritesKeepOtherSectionsAndLandOnlyOnFlush) {
  const std::string path = Write("s.ini", "[Mine]\nkeep=me\n[S]\nold=1\n");
  TIniSettingsStore store(path);
  store.WriteInteger("S", "i", -42);
  store.WriteBool("S", "b", true);
  store.WriteString("s", "OLD", "C:\\a b\\");
  EXPECT_EQ(Read(path), "[Mine]\nkeep=me\n[S]\nold=1\n");
  store.Flush();
  EXPECT_EQ(Read(path), "[Mine]\nkeep=me\n[S]\nold=C:\\a b\\\ni=-42\nb=1\n");
  EXPECT_EQ(CountEntries(dir_), 2);  // s.ini and config/: no temporary file left
  const TIniSettingsStore again(path);
  EXPECT_EQ(again.ReadInteger("S", "I", 0), -42);
  EXPECT_EQ(again.ReadString("S", "old", ""), "C:\\a b\\");
}

TEST_F(IniStore, AFailedWriteChangesNothingAndLeavesNoTemporaryFile) {
  // The target is a folder, not a settings file: it is neither read nor replaced.
  const std::string folder = MakeFolder("target.ini");
  TIniSettingsStore store(folder);
  EXPECT_THROW(store.WriteInteger("S", "k", 1), EPicaxoError);  // it could not be read either
  EXPECT_THROW(store.Flush(), EPicaxoError);
  EXPECT_TRUE(fs::is_directory(folder));
  EXPECT_EQ(CountEntries(dir_), 2);

  // A folder that does not exist for a file the user named: nothing is created.
  TIniSettingsStore nowhere(Path("missing/s.ini"));
  nowhere.WriteInteger("S", "k", 1);
  EXPECT_THROW(nowhere.Flush(), EPicaxoError);
  EXPECT_FALSE(fs::exists(Path("missing")));
}

TEST_F(IniStore, AFileThatCannotBeReadIsNeverReplaced) {
  // Far too large for a settings file (sparse, so it costs no disk).
  const std::string large = Write("large.ini", "[S]\nk=1\n");
  fs::resize_file(large, 17u << 20);
  TIniSettingsStore store(large);
  EXPECT_THROW(store.ReadInteger("S", "k", 0), EPicaxoError);
  EXPECT_THROW(store.WriteInteger("S", "k", 0), EPicaxoError);
  EXPECT_THROW(store.Flush(), EPicaxoError);
  EXPECT_EQ(fs::file_size(large), 17u << 20);

  const std::string locked = Write("locked.ini", "x");
  fs::permissions(locked, fs::perms::none);
  if (::access(locked.c_str(), R_OK) == 0) return;  // running with rights to read anything
  EXPECT_THROW(TIniSettingsStore(locked).ReadInteger("S", "k", 0), EPicaxoError);
}

TEST_F(IniStore, ALinkedSettingsFileStaysALinkAndKeepsItsPermissions) {
  const std::string real = Write("real.ini", "[S]\nk=1\n");
  fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write);
  fs::create_symlink(real, Path("link.ini"));
  TIniSettingsStore store(Path("link.ini"));
  store.WriteInteger("S", "k", 2);
  store.Flush();
  EXPECT_TRUE(fs::is_symlink(Path("link.ini")));
  EXPECT_EQ(Read(real), "[S]\nk=2\n");
  EXPECT_EQ(fs::status(real).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(IniStore, PerUserStoreLivesUnderTheConfigurationFolder) {
  EXPECT_EQ(GetRegistryKeyPath(), "\\Software\\Quorlen\\Picaxo\\app");
  EXPECT_EQ(GetVendorProductPath(), "Quorlen\\Picaxo\\app");
  EXPECT_EQ(UserStoreFilePath(GetVendorProductPath()), UserFile());

  TIniSettingsStore store = OpenUserSettingsStore();
  store.WriteString("MRUInput", "File0", "/x");
  store.Flush();  // makes the folders on the first write
  EXPECT_EQ(Read(UserFile()), "[MRUInput]\nFile0=/x\n");

  ::unsetenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] != '\0') {
    EXPECT_EQ(UserStoreFilePath("Quorlen\\Picaxo\\app"),
              std::string(home) + "/.config/Quorlen/Picaxo/app.ini");
  }
  EXPECT_THROW(UserStoreFilePath("Quorlen\\..\\x"), EPicaxoError);
}

TEST(ProgramIdentity, BaseNameComesFromTheProgramFile) {
  SetProgramBaseName("");
  EXPECT_EQ(ProgramBaseName(), "settings_tests");
  EXPECT_EQ(GetRegistryKeyPath(), "\\Software\\Quorlen\\Picaxo\\settings_tests");
}

}  // namespace
}  // namespace picaxo
