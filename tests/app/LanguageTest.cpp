#include "ShellFixture.h"

#include "app/Language.h"
#include "platform/Paths.h"
#include "platform/UserLanguage.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>

namespace tv {
namespace {

using test::ShellForm;

// The shown language is process-wide: each test that changes it puts Japanese back.
struct ShownLanguageGuard {
    ~ShownLanguageGuard() { UseLanguage("ja"); }
};

TEST(Language, TheEnvironmentChoosesAsGettextReadsIt) {
    const struct {
        std::map<std::string, std::string> Env;
        const char* Name;    // what the environment asks for
        const char* Program; // the language the windows then speak
    } cases[] = {
        {{}, "", "ja"},
        {{{"LANG", "C"}}, "", "ja"},
        {{{"LANG", "C.UTF-8"}}, "", "ja"},
        {{{"LC_ALL", "POSIX"}, {"LANG", "en_US.UTF-8"}}, "", "ja"},
        {{{"LANG", "ja_JP.UTF-8"}}, "ja_JP.UTF-8", "ja"},
        {{{"LANG", "ja_JP.eucJP"}}, "ja_JP.eucJP", "ja"},
        {{{"LANG", "en_US.UTF-8"}}, "en_US.UTF-8", "en"},
        {{{"LANG", "de_DE.UTF-8"}}, "de_DE.UTF-8", "en"}, // no German catalogue: English stands in
        {{{"LANG", "fr_FR@euro"}}, "fr_FR@euro", "en"},
        // The first non-empty of LANGUAGE, LC_ALL, LC_MESSAGES, LANG decides.
        {{{"LANGUAGE", "en_GB:ja"}, {"LANG", "ja_JP.UTF-8"}}, "en_GB", "en"},
        {{{"LANGUAGE", "ja:en"}, {"LC_ALL", "en_US.UTF-8"}}, "ja", "ja"},
        // gettext reads LANGUAGE only where the locale is not C.
        {{{"LANGUAGE", "en"}}, "", "ja"},
        {{{"LANGUAGE", "en"}, {"LC_ALL", "C.UTF-8"}, {"LANG", "ja_JP.UTF-8"}}, "", "ja"},
        {{{"LANGUAGE", ""}, {"LC_ALL", "en_US.UTF-8"}, {"LANG", "ja_JP.UTF-8"}}, "en_US.UTF-8", "en"},
        {{{"LC_MESSAGES", "ja_JP.UTF-8"}, {"LANG", "en_US.UTF-8"}}, "ja_JP.UTF-8", "ja"},
        {{{"LC_ALL", ""}, {"LC_MESSAGES", ""}, {"LANG", "en"}}, "en", "en"},
        {{{"LANG", "JA"}}, "JA", "ja"},
    };
    for (const auto& c : cases) {
        const std::string name = LanguageFromEnvironment([&](const char* var) -> const char* {
            const auto it = c.Env.find(var);
            return it == c.Env.end() ? nullptr : it->second.c_str();
        });
        EXPECT_EQ(name, c.Name);
        EXPECT_EQ(ProgramLanguageFor(name), c.Program) << name;
    }
    // The Windows UI language's names.
    EXPECT_EQ(ProgramLanguageFor("ja-JP"), "ja");
    EXPECT_EQ(ProgramLanguageFor("en-US"), "en");
    EXPECT_EQ(ProgramLanguageFor("zh-CN"), "en");
}

TEST(Language, PoFilesAreReadAsGettextWritesThem) {
    const std::string po = "# translator's comment\n"
                           "msgid \"\"\n"
                           "msgstr \"\"\n"
                           "\"Content-Type: text/plain; charset=UTF-8\\n\"\n"
                           "\n"
                           "msgid \"開\"\n"
                           "msgstr \"Open\"\n"
                           "\n"
                           "#, fuzzy\n"
                           "msgid \"終\"\n"
                           "msgstr \"Quit\"\n"
                           "\n"
                           "msgid \"読\"\n"
                           "msgstr \"\"\n"
                           "\n"
                           "msgid \"\"\n"
                           "\"二行\\r\\n\"\n"
                           "\"目 \\\"引用\\\" \\\\ \\t\"\n"
                           "msgstr \"Two\\r\\nlines \\\"quoted\\\" \\\\ \\t\"\n"
                           "msgctxt \"pattern\"\n"
                           "msgid \"読み取り終了 %1\"\n"
                           "msgstr \"Read %1\"\n";
    std::vector<std::string> problems;
    const Catalogue c = Catalogue::FromPo(po, &problems);
    EXPECT_TRUE(problems.empty()) << problems.front();
    ASSERT_EQ(c.Entries().size(), 3u); // the header, the fuzzy and the untranslated entries left out
    EXPECT_EQ(c.Translate("開"), "Open");
    EXPECT_EQ(c.Translate("終"), "終");
    EXPECT_EQ(c.Translate("読"), "読");
    EXPECT_EQ(c.Translate("二行\r\n目 \"引用\" \\ \t"), "Two\r\nlines \"quoted\" \\ \t");
    EXPECT_EQ(c.Translate("読み取り終了 a.sfv"), "Read a.sfv");
    EXPECT_EQ(c.Entries()[1].Line, 16);

    // What is wrong is said with its line, and the rest still read.
    const struct {
        const char* Po;
        const char* Problem;
    } broken[] = {
        {"msgid \"a\"\nmsgstr \"b\nmsgid \"開\"\nmsgstr \"Open\"\n", "line 2: not a quoted string"},
        {"msgid \"a\\q\"\nmsgstr \"b\"\nmsgid \"開\"\nmsgstr \"Open\"\n", "line 1: not a quoted string"},
        {"msgstr \"b\"\nmsgid \"開\"\nmsgstr \"Open\"\n", "line 1: msgstr without msgid"},
        {"msgid \"x\"\n\nmsgid \"開\"\nmsgstr \"Open\"\n", "line 1: msgid without msgstr"},
        {"msgctxt \"pattern\"\nmsgid \"%1%2\"\nmsgstr \"%1%2\"\nmsgid \"開\"\nmsgstr \"Open\"\n",
         "line 2: two placeholders side by side cannot be told apart"},
        {"msgctxt \"pattern\"\nmsgid \"a %1\"\nmsgstr \"b %2\"\nmsgid \"開\"\nmsgstr \"Open\"\n",
         "line 2: msgstr has a placeholder that msgid has not"},
        {"msgctxt \"pattern\"\nmsgid \"a %1\"\nmsgstr \"b %t1\"\nmsgid \"開\"\nmsgstr \"Open\"\n",
         "line 2: msgstr has a placeholder that msgid has not"},
        {"msgctxt \"pattern\"\nmsgid \"a\"\nmsgstr \"b\"\nmsgid \"開\"\nmsgstr \"Open\"\n",
         "line 2: a pattern without a placeholder"},
        {"msgctxt \"menu\"\nmsgid \"a\"\nmsgstr \"b\"\nmsgid \"開\"\nmsgstr \"Open\"\n",
         "line 2: unknown context menu"},
        {"msgid \"開\"\nmsgstr \"Open\"\nmsgid \"開\"\nmsgstr \"Again\"\n", "line 3: a second translation of one text"},
    };
    for (const auto& b : broken) {
        problems.clear();
        const Catalogue bc = Catalogue::FromPo(b.Po, &problems);
        ASSERT_EQ(problems.size(), 1u) << b.Po;
        EXPECT_EQ(problems.front(), b.Problem) << b.Po;
        EXPECT_EQ(bc.Translate("開"), "Open") << b.Po;
    }
}

TEST(Language, PatternsTranslateComposedTexts) {
    const Catalogue c = Catalogue::FromPo("msgid \"検索終了\"\nmsgstr \"Search finished\"\n"
                                          "msgctxt \"pattern\"\nmsgid \"%t1 （%2件見つかりました）\"\n"
                                          "msgstr \"%t1 (found: %2)\"\n"
                                          "msgctxt \"pattern\"\nmsgid \"%1と%2は同じ\"\nmsgstr \"%2 = %1\"\n"
                                          "msgctxt \"pattern\"\nmsgid \"削除%1\"\nmsgstr \"Delete%1\"\n"
                                          "msgctxt \"pattern\"\nmsgid \"100%% %1\"\nmsgstr \"all %1\"\n"
                                          "msgctxt \"pattern\"\nmsgid \"残り %1\"\nmsgstr \"%1 left\"\n");
    const struct {
        const char* Text;
        const char* Shown;
    } cases[] = {
        {"検索終了 （3件見つかりました）", "Search finished (found: 3)"},
        // A part that is not in the catalogue is shown as it is.
        {"未知 （3件見つかりました）", "未知 (found: 3)"},
        // Data is never translated, even when it reads as a text of the catalogue.
        {"検索終了と削除xは同じ", "削除x = 検索終了"},
        {"削除", "Delete"},
        {"100% 開", "all 開"},
        {"残り ", " left"},
        {"残り", "残り"},
        {"別の文", "別の文"},
        {"", ""},
    };
    for (const auto& t : cases)
        EXPECT_EQ(c.Translate(t.Text), t.Shown) << t.Text;
    EXPECT_TRUE(c.Covers("残り 1:00"));
    EXPECT_FALSE(c.Covers("別の文"));
}

// Plural entries: the header's Plural-Forms rule (gettext's C expression over n) picks msgstr[k].
TEST(Language, PluralEntriesTakeTheFormTheRuleChooses) {
    const std::string shown = ShownLanguage();
    const char* polish = "(n==1 ? 0 : n%10>=2 && n%10<=4 && (n%100<10 || n%100>=20) ? 1 : 2)";
    const struct {
        const char* Rule;
        std::uint64_t N;
        std::optional<std::uint64_t> Index;
    } rules[] = {
        {"(n != 1)", 0, 1}, {"(n != 1)", 1, 0}, {"(n != 1)", 2, 1}, {"n > 1", 1, 0}, {"n > 1", 2, 1},
        {"0", 7, 0},        {polish, 1, 0},     {polish, 3, 1},     {polish, 5, 2},  {polish, 22, 1},
        {polish, 12, 2},    {"!(n<=1)", 1, 0},  {"n%0", 1, {}},     {"(n", 1, {}},   {"n +", 1, {}},
        {"x", 1, {}},       {"n ? 1", 1, {}},   {"", 1, {}},
    };
    for (const auto& r : rules)
        EXPECT_EQ(PluralIndex(r.Rule, r.N), r.Index) << r.Rule << " n=" << r.N;

    const std::string header = std::string("msgid \"\"\nmsgstr \"Plural-Forms: nplurals=3; plural=") + polish + ";\\n\"\n";
    std::vector<std::string> problems;
    const Catalogue c = Catalogue::FromPo(header + "msgid \"%1 件\"\nmsgid_plural \"%1 件\"\n"
                                                   "msgstr[0] \"%1 plik\"\nmsgstr[1] \"%1 pliki\"\nmsgstr[2] \"%1 plików\"\n"
                                                   "\nmsgid \"%1 行\"\nmsgid_plural \"%1 行\"\n"
                                                   "msgstr[0] \"%1 wiersz\"\nmsgstr[1] \"\"\n",
                                          &problems);
    EXPECT_TRUE(problems.empty()) << problems.front();
    EXPECT_EQ(c.TranslatePlural("%1 件", 1), "%1 plik");
    EXPECT_EQ(c.TranslatePlural("%1 件", 4), "%1 pliki");
    EXPECT_EQ(c.TranslatePlural("%1 件", 5), "%1 plików");
    // A form not translated yet leaves the entry out; a text without an entry is shown as it is.
    EXPECT_EQ(c.TranslatePlural("%1 行", 1), "%1 行");
    EXPECT_EQ(c.TranslatePlural("別", 1), "別");
    problems.clear();
    Catalogue::FromPo("msgid \"\"\nmsgstr \"Plural-Forms: nplurals=2; plural=n ! 1;\\n\"\n", &problems);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems.front(), "line 1: a Plural-Forms rule that cannot be read: n ! 1");

    // The catalogue the program carries, whatever language is shown.
    EXPECT_EQ(TrPluralIn("en", "%1 件の変更", 1), "%1 change");
    EXPECT_EQ(TrPluralIn("en", "%1 件の変更", 2), "%1 changes");
    EXPECT_EQ(TrPluralIn("de", "%1 件の変更", 0), "%1 changes");
    EXPECT_EQ(TrPluralIn("ja", "%1 件の変更", 2), "%1 件の変更");
    EXPECT_EQ(TrIn("en", "使い方:"), "usage:");
    // Asking another language's catalogue leaves the shown language as it was.
    EXPECT_EQ(ShownLanguage(), shown);
}

// The catalogues the program carries read without a fault, and turn the texts the logic composes
// into whole English sentences.
TEST(Language, TheEnglishCatalogueCoversTheComposedTexts) {
    ASSERT_FALSE(EmbeddedCatalogues().empty());
    for (const EmbeddedCatalogue& e : EmbeddedCatalogues()) {
        std::vector<std::string> problems;
        const Catalogue c = Catalogue::FromPo(e.Po, &problems);
        EXPECT_TRUE(problems.empty()) << e.Code << ": " << problems.front();
        EXPECT_GT(c.Entries().size(), 100u) << e.Code;
    }
    const ShownLanguageGuard guard;
    UseLanguage("en");
    const struct {
        const char* Japanese;
        const char* English;
    } cases[] = {
        {"設定状態  移動補完 補完元=随時指定 重複-確認",
         "Settings:  Fill in by moving, from a folder chosen each time, duplicates asked about"},
        {"設定状態  複写補完 補完元=/srv/自動補完 x 自動補完 重複-削除",
         "Settings:  Fill in by copying, from /srv/自動補完 x, automatic fill-in, duplicates deleted"},
        {"設定状態  複写補完 補完元=/srv/a 自動補完", "Settings:  Fill in by copying, from /srv/a, automatic fill-in"},
        {"設定状態  複写補完 補完元=随時指定", "Settings:  Fill in by copying, from a folder chosen each time"},
        {"読み取り終了 削除(&D).sfv", "Read 削除(&D).sfv"},
        {"検索中止 （補完ファイルは有りません）", "Search stopped (no missing file was found)"},
        {"検索終了 （12件見つかりました）", "Search finished (found: 12)"},
        {"a.bin以降の項目が読み取れません", "The entries after a.bin cannot be read"},
        {"リストに追加しました： 2 件\nUTF-16 のリストは UTF-8 で書き直しました\n\n追加しなかったファイル：\nx (why)",
         "Added to the list: 2\nThe UTF-16 list was written again in UTF-8\n\nFiles not added:\nx (why)"},
        {"リストにないファイル： 3 件\n\n＋ a\n＋ b\n ほか 1 件",
         "Files not in the list: 3\n\n＋ a\n＋ b\n and 1 more"},
        {"消えたファイルを飛ばしました： a/b.bin ほか 4 件", "Passed over a file that vanished: a/b.bin and 4 more"},
        // The notes the status adds after a read, each in turn, whatever the text before them ends in.
        {"読み取り終了 a.sfv　同じ名前で内容の違う項目があります： x.bin ほか 2 件　破損ブロック 1/4 個、修復ブロック 2 "
         "個：修復できます",
         "Read a.sfv　Rows give one name two contents: x.bin and 2 more　Damaged blocks 1 of 4, recovery blocks 2: "
         "repair possible"},
        {"消えたファイルを飛ばしました： a/b.bin　同じ名前で内容の違う項目があります： x.bin",
         "Passed over a file that vanished: a/b.bin　Rows give one name two contents: x.bin"},
        {"読み取り終了 s.par2　説明の読めないファイル 2 個は未確認　安全でない名前 3 個は書き込み・改名しません",
         "Read s.par2　Files without a readable description, not checked: 2　Unsafe names, never written or "
         "renamed into: 3"},
        {"フォルダ 12  ファイル 340  1.2 GB  180 MB/s  残り 0:16",
         "folders 12  files 340  1.2 GB  180 MB/s  0:16 left"},
        {"1.2 GB / 4.0 GB  180 MB/s  残り 0:16", "1.2 GB / 4.0 GB  180 MB/s  0:16 left"},
        {"重複ファイル検出\r\r/a/x.binと\r/a/y.binは同じファイルです。\r重複ファイルを削除してもよろしいですか？",
         "Duplicate file found\r\r/a/x.bin and\r/a/y.bin are the same file.\rDelete the duplicate?"},
        {"File not found", "File not found"},
        {"［ 規格外のリストファイルです ］\r\rSHA-256の「ダイジェスト  ファイル名」の行がひとつも読み取れません\r"
         "メモ帳等でこのファイルを開いて確認して下さい",
         "[ Digest list out of the standard ]\r\rNot one line of SHA-256 \"digest  file name\" can be read.\r"
         "Please open this file in a text editor and look at it."},
        // A name or a path is never taken for a text, whatever it holds.
        {"検索中 /srv/a 自動補完 重複-確認", "Searching /srv/a 自動補完 重複-確認"},
        {"読み取り終了 削除 （補完ファイルは有りません）", "Read 削除 （補完ファイルは有りません）"},
        {"/srv/x 重複-確認", "/srv/x 重複-確認"},
    };
    for (const auto& t : cases)
        EXPECT_EQ(Tr(t.Japanese), t.English) << t.Japanese;
    UseLanguage("ja");
    EXPECT_EQ(Tr("検索終了"), "検索終了");
}

TEST(Language, TheChoiceIsKeptInTheSettingsAndAppliedAtOnce) {
    const ShownLanguageGuard guard;
    ShellForm s;
    s.form->FormCreate({});
    EXPECT_TRUE(s.form->LanguageAuto.Checked());
    s.form->LanguageClick(s.form->LanguageJa);
    EXPECT_EQ(ShownLanguage(), "ja");
    const std::uint64_t before = LanguageGeneration();
    s.form->ClickMenuItem(s.form->LanguageEn, MenuClick::Radio, [&] { s.form->LanguageClick(s.form->LanguageEn); });
    EXPECT_EQ(ShownLanguage(), "en");
    EXPECT_GT(LanguageGeneration(), before);
    EXPECT_TRUE(s.form->LanguageEn.Checked());
    EXPECT_FALSE(s.form->LanguageAuto.Checked() || s.form->LanguageJa.Checked());
    s.form->FormDestroy();
    EXPECT_NE(s.Ini().find("\nLanguage=en\n"), std::string::npos) << s.Ini();

    s.Reset();
    UseLanguage("ja");
    s.form->FormCreate({});
    EXPECT_EQ(ShownLanguage(), "en");
    EXPECT_TRUE(s.form->LanguageEn.Checked());
    s.form->LanguageClick(s.form->LanguageJa);
    EXPECT_EQ(ShownLanguage(), "ja");
    s.form->LanguageClick(s.form->LanguageAuto);
    s.form->FormDestroy();
    EXPECT_NE(s.Ini().find("\nLanguage=auto\n"), std::string::npos) << s.Ini();

    // A hand-edited name is understood; what names no language follows the user's.
    for (const auto& [written, setting] : std::map<std::string, std::string>{
             {"English", "en"}, {"ja_JP", "ja"}, {"auto", ""}, {"", ""}, {"  ", ""}, {"xx", "en"}}) {
        s.Reset();
        s.dir.Write("Tallyvault.ini", "[Tallyvault]\nLanguage=" + written + "\n");
        s.form->FormCreate({});
        EXPECT_EQ(s.form->LanguageSetting, setting) << written;
    }
}

} // namespace
} // namespace tv

namespace tv {
namespace {

// Help's read-me in English is the English one where it lies beside the Japanese one, else the Japanese.
TEST(Language, TheReadMeOfTheShownLanguageOpensFirst) {
    const ShownLanguageGuard guard;
    ShellForm s;
    s.form->FormCreate({});
    s.dir.Write("bin/Tallyvault.txt", "日本語");
    UseLanguage("en");
    s.form->ReadMeClick();
    ASSERT_EQ(s.ui.Opened.size(), 1u);
    EXPECT_PRED2(SameFileName, s.ui.Opened.back(), s.dir / "bin/Tallyvault.txt");
    const std::string english = s.dir.Write("bin/Tallyvault.en.txt", "English");
    s.form->ReadMeClick();
    ASSERT_EQ(s.ui.Opened.size(), 2u);
    EXPECT_PRED2(SameFileName, s.ui.Opened.back(), english);
    UseLanguage("ja");
    s.form->ReadMeClick();
    ASSERT_EQ(s.ui.Opened.size(), 3u);
    EXPECT_PRED2(SameFileName, s.ui.Opened.back(), s.dir / "bin/Tallyvault.txt");
}

} // namespace
} // namespace tv
