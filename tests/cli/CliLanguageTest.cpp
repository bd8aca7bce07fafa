// tallyvault-cli in the user's language: the status text and the logic's messages follow it, while
// marks, TAB-separated fields and the counters' words stay what scripts read.
#include "support/Shell.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace tv {
namespace {

using test::ShellQuote;
using test::TempDir;

// The command with only the given language variables set.
std::string InLanguage(const std::string& vars, const std::string& command) {
    return "env -u LANGUAGE -u LC_ALL -u LC_MESSAGES -u LANG " + vars + " " + command;
}

TEST(CliLanguage, StatusAndMessagesFollowTheLanguageWhileTheFieldsStay) {
    TempDir dir;
    dir.Write("good.bin", "good");
    dir.Write("bad.bin", "changed");
    const std::string list =
        dir.Write("list.sfv", "good.bin " + test::CrcHex("good") + "\r\nbad.bin " + test::CrcHex("was") +
                                  "\r\ngone.bin " + test::CrcHex("gone") + "\r\n");
    // The rows in the list's order of states: bad, missing, matching.
    const std::string rows = "×\tbad.bin\t\t" + test::CrcHex("was") + "\t\n" + "－\tgone.bin\t\t" +
                             test::CrcHex("gone") + "\t\n" + "○\tgood.bin\t\t" + test::CrcHex("good") + "\t\n" +
                             "total 3 match 1 mismatch 1 missing 1 samefile 0\n";
    const struct {
        const char* Vars;
        const char* Status;
    } cases[] = {
        {"", "status 読み取り終了 list.sfv\n"},
        {"LANG=C", "status 読み取り終了 list.sfv\n"},
        {"LC_ALL=POSIX LANG=en_US.UTF-8", "status 読み取り終了 list.sfv\n"},
        {"LANGUAGE=en LANG=C.UTF-8", "status 読み取り終了 list.sfv\n"},
        {"LANG=ja_JP.UTF-8", "status 読み取り終了 list.sfv\n"},
        {"LANG=en_US.UTF-8", "status Read list.sfv\n"},
        {"LANG=de_DE.UTF-8", "status Read list.sfv\n"},
        {"LANGUAGE=en:ja LANG=ja_JP.UTF-8", "status Read list.sfv\n"},
    };
    for (const auto& c : cases) {
        const test::ShellResult r =
            test::Shell(InLanguage(c.Vars, std::string(TV_CLI_PATH) + " verify " + ShellQuote(list) + " 2>/dev/null"));
        EXPECT_EQ(r.status, 1) << c.Vars;
        EXPECT_EQ(r.out, rows + c.Status) << c.Vars;
    }

    // A message of the logic on standard error, and the status of a list that cannot be read.
    const std::string unknown = dir.Write("odd.sfv", "; only a comment\r\n");
    const std::string command = std::string(TV_CLI_PATH) + " verify " + ShellQuote(unknown) + " 2>&1";
    const test::ShellResult ja = test::Shell(InLanguage("LANG=C.UTF-8", command));
    const test::ShellResult en = test::Shell(InLanguage("LANG=en_US.UTF-8", command));
    EXPECT_NE(ja.out.find("status 未知のＣＲＣファイルです odd.sfv\n"), std::string::npos) << ja.out;
    EXPECT_NE(en.out.find("status Unknown kind of checksum list: odd.sfv\n"), std::string::npos) << en.out;
    EXPECT_NE(en.out.find("[ Unknown kind of checksum list ]\n"), std::string::npos) << en.out;
    EXPECT_EQ(en.out.find("未知"), std::string::npos) << en.out;
    EXPECT_EQ(ja.status, en.status);
}

// The tool's own sentences on standard error: English for C, POSIX, none and every language but
// Japanese (word for word what the tool has always said), Japanese for a Japanese language. Standard
// output, but for the translated status text, is the same in every language.
TEST(CliLanguage, OwnSentencesFollowTheLanguage) {
    TempDir dir;
    dir.Write("set/a.bin", "good");
    dir.Write("set/b.bin", "two");
    dir.Write("set/notes.txt", "x");
    dir.Write("set/read.txt", "y");
    dir.Write("set/list.sfv", "a.bin " + test::CrcHex("good") + "\r\n");
    dir.Write("set/part.md5", "0123456789abcdef0123456789abcdef  a.bin\njunk line\n");
    dir.Write("set/twice.sfv", "a.bin " + test::CrcHex("good") + "\r\na.bin " + test::CrcHex("bad") + "\r\n");
    dir.Write("moved/x.bin", "good");
    dir.Write("moved/r.sfv", "a.bin " + test::CrcHex("good") + "\r\n");
    const std::string set = ShellQuote(dir / "set");
    const struct {
        std::string Args;
        int Status;
        const char* English;
        const char* Japanese;
    } commands[] = {
        {"repair " + set + "/list.sfv --undo", 4,
         "tallyvault-cli: nothing to undo: no plan of a killed repair is beside list.sfv\n",
         "tallyvault-cli: 元に戻すものはありません: list.sfv の横に強制終了された修復の計画がありません\n"},
        {"verify " + set + "/part.md5", 3,
         "tallyvault-cli: not all checked: 1 line of part.md5 that is neither entry nor comment was passed over "
         "(line 2: neither a GNU nor a BSD digest line), so the files named there were not checked\n",
         "tallyvault-cli: 一部を検査していません: part.md5 の、項目でもコメントでもない 1 行を飛ばしました "
         "(line 2: neither a GNU nor a BSD digest line)。そこにあるファイルは検査していません\n"},
        {"verify " + set + "/twice.sfv", 1,
         "tallyvault-cli: 2 rows give 1 name two contents, shown as they are; repair changes nothing for them: a.bin\n",
         "tallyvault-cli: 1 個の名前で内容の違う項目が 2 行あります。そのまま表示し、修復ではこれらを変更しません: "
         "a.bin\n"},
        {"repair " + ShellQuote(dir / "moved/r.sfv") + " --dry-run", 1,
         "tallyvault-cli: dry run, nothing changed: a repair would make 1 change\n",
         "tallyvault-cli: 試行のため何も変更していません: 修復は 1 件の変更を行います\n"},
        {"create " + set + " " + set + "/new.sfv", 0,
         "tallyvault-cli: left out by the extension rule of SFV and CSV lists: 2 files: notes.txt, read.txt\n",
         "tallyvault-cli: SFV・CSV リストの拡張子の規則で 2 個のファイルを除外しました: notes.txt, read.txt\n"},
        {"update " + set + "/list.sfv --bogus", 2,
         "usage: tallyvault-cli update LIST [--recursive] [--dry-run] [--quiet|--progress]\n",
         "使い方: tallyvault-cli update LIST [--recursive] [--dry-run] [--quiet|--progress]\n"},
    };
    const struct {
        const char* Vars;
        bool Japanese;
    } languages[] = {
        {"", false},
        {"LANG=C", false},
        {"LC_ALL=POSIX LANG=ja_JP.UTF-8", false},
        {"LANG=en_US.UTF-8", false},
        {"LANG=de_DE.UTF-8", false},
        {"LANG=ja_JP.UTF-8", true},
        {"LANGUAGE=ja LANG=en_US.UTF-8", true},
    };
    const std::string err = dir / "err.txt";
    for (const auto& c : commands) {
        std::string rows; // standard output without the status text, the same in every language
        for (const auto& l : languages) {
            const test::ShellResult r = test::Shell(
                InLanguage(l.Vars, std::string(TV_CLI_PATH) + " " + c.Args + " 2>" + ShellQuote(err)));
            EXPECT_EQ(r.status, c.Status) << l.Vars << ' ' << c.Args;
            EXPECT_EQ(test::ReadFile(err), l.Japanese ? c.Japanese : c.English) << l.Vars << ' ' << c.Args;
            const std::string shown = r.out.substr(0, r.out.rfind("status "));
            if (&l == &languages[0])
                rows = shown;
            else
                EXPECT_EQ(shown, rows) << l.Vars << ' ' << c.Args;
        }
    }
}

// The progress line's words follow the language as the sentences do; its figures are the same.
TEST(CliLanguage, TheProgressLineSpeaksTheLanguageOfTheSentences) {
    TempDir dir;
    const std::string big(std::size_t{6} << 20, 'b'); // six blocks, each read slowed below
    dir.Write("big.bin", big);
    const std::string list = dir.Write("list.sfv", "big.bin " + test::CrcHex(big) + "\r\n");
    const std::string err = dir / "err.txt";
    const struct {
        const char* Vars;
        const char* Start;
        const char* Foreign; // a word of the other language, never seen
    } cases[] = {
        {"LANG=C", "0/1 files  ", "ファイル"},
        {"LANG=de_DE.UTF-8", "0/1 files  ", "ファイル"},
        {"LANG=ja_JP.UTF-8", "ファイル 0/1  ", "files"},
    };
    for (const auto& c : cases) {
        const test::ShellResult r =
            test::Shell(InLanguage(c.Vars, "TALLYVAULT_SLOW_READS=120 " + std::string(TV_CLI_PATH) + " verify " +
                                               ShellQuote(list) + " --progress 2>" + ShellQuote(err)));
        EXPECT_EQ(r.status, 0) << c.Vars;
        const std::string lines = test::ReadFile(err);
        EXPECT_EQ(lines.rfind(c.Start, 0), 0u) << c.Vars << lines;
        EXPECT_NE(lines.find(" / 6.0 MB  "), std::string::npos) << c.Vars << lines;
        EXPECT_EQ(lines.find(c.Foreign), std::string::npos) << c.Vars << lines;
    }
}

// The help: Japanese for a Japanese language, the English one for every other and for C or none.
TEST(CliLanguage, HelpIsJapaneseOnlyForAJapaneseLanguage) {
    const std::string help = std::string(TV_CLI_PATH) + " --help";
    const test::ShellResult english = test::Shell(InLanguage("LANG=en_US.UTF-8", help));
    ASSERT_EQ(english.status, 0);
    EXPECT_EQ(english.out.rfind("Usage: tallyvault-cli COMMAND ARGUMENTS...\n", 0), 0u) << english.out;
    for (const char* vars : {"", "LANG=C", "LANG=POSIX", "LANG=de_DE.UTF-8"})
        EXPECT_EQ(test::Shell(InLanguage(vars, help)).out, english.out) << vars;
    const test::ShellResult japanese = test::Shell(InLanguage("LANG=ja_JP.UTF-8", help));
    ASSERT_EQ(japanese.status, 0);
    EXPECT_EQ(japanese.out.rfind("使い方: tallyvault-cli コマンド 引数...\n", 0), 0u) << japanese.out;
    // Every option the English help names, the Japanese one names too.
    for (std::size_t at = english.out.find("\n  -"); at != std::string::npos; at = english.out.find("\n  -", at + 1)) {
        const std::string option = english.out.substr(at + 3, english.out.find_first_of(" ,\n", at + 3) - at - 3);
        EXPECT_NE(japanese.out.find(option), std::string::npos) << option;
    }
    // And every command with its arguments, as the English help writes it.
    for (const char* command : {"\n  verify ", "\n  repair ", "\n  create ", "\n  update "})
        for (std::size_t at = english.out.find(command); at != std::string::npos;
             at = english.out.find(command, at + 1)) {
            const std::string line = english.out.substr(at, english.out.find('\n', at + 1) - at + 1);
            EXPECT_NE(japanese.out.find(line), std::string::npos) << line;
        }
}

} // namespace
} // namespace tv
