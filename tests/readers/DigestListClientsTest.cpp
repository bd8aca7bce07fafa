// Digest lists written by the real tools (coreutils, b3sum, RHash, OpenSSL) over a small tree read back as
// the names and digests the tools hashed: spaces, unicode, sub-folders, an empty and two identical
// files, and the names GNU escapes (a backslash, a line feed, a carriage return).
#include "readers/DigestLines.h"
#include "support/Shell.h"
#include "support/TempDir.h"

#include "support/CliRows.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace tv::test {
namespace {

using A = HashAlgorithm;

const std::map<std::string, std::string>& Tree() {
    static const std::map<std::string, std::string> files = {
        {"set/a b.txt", "hello"},
        {"set/日本語 ファイル.dat", RandomBytes(1234, 2)},
        {"set/sub/inner.bin", RandomBytes(70000, 3)},
        {"set/sub/deeper/x (1) = y.txt", "paren"},
        {"set/empty", ""},
        {"set/twin 1", "same"},
        {"set/twin 2", "same"},
    };
    return files;
}

// Names only GNU's escaped form carries through a list (RHash takes "\" for "/", and a raw line feed
// splits a line).
const std::map<std::string, std::string>& OddNames() {
    static const std::map<std::string, std::string> files = {
        {"odd/back\\slash", "b"}, {"odd/new\nline", "n"}, {"odd/cr\rname", "c"}};
    return files;
}

std::string Hex(const std::string& bytes) { return tv::test::LowerHex(bytes); }

// The file's digest as coreutils gives it for its content read from standard input: no name involved.
std::string DigestOf(const TempDir& dir, const std::string& name, A a) {
    static std::map<std::pair<std::string, A>, std::string> known;
    std::string& digest = known[{dir / name, a}];
    if (digest.empty()) {
        const std::string tool = std::string(InfoOf(a).Extension) + "sum";
        const ShellResult r = Shell(tool + " < " + ShellQuote(dir / name));
        EXPECT_EQ(r.status, 0) << tool;
        digest = r.out.substr(0, r.out.find(' '));
    }
    return digest;
}

struct ToolCase {
    std::string Command; // run in the folder; with Names, the files' names follow it
    bool Names, Odd;     // names given one by one, the odd ones too
    const char* ListName;
    std::vector<A> Algorithms;
    bool Tagged, Binary;
};

TEST(DigestListClients, ListsOfTheRealToolsReadAsTheyHashed) {
    TempDir dir;
    std::map<std::string, std::string> all = Tree();
    for (const auto& [name, bytes] : Tree())
        dir.Write(name, bytes);
    for (const auto& [name, bytes] : OddNames()) {
        dir.Write(name, bytes);
        all.insert({name, bytes});
    }

    const std::vector<ToolCase> cases = {
        {"md5sum", true, true, "MD5SUMS", {A::Md5}, false, false},
        {"sha1sum -b", true, true, "x.SHA1", {A::Sha1}, false, true},
        {"sha256sum", true, true, "SHA256SUMS.txt", {A::Sha256}, false, false},
        {"sha256sum --binary", true, true, "list.txt", {A::Sha256}, false, true},
        {"sha256sum --tag", true, true, "list.txt", {A::Sha256}, true, false},
        {"sha512sum", true, true, "x.sha512", {A::Sha512}, false, false},
        {"rhash --simple --sha256 -r set", false, false, "list.txt", {A::Sha256}, false, false},
        {"rhash --md5 -r set", false, false, "x.md5", {A::Md5}, false, false},
        {"rhash --bsd --md5 --sha1 -r set", false, false, "list.txt", {A::Md5, A::Sha1}, true, false},
        {"openssl dgst -sha256", true, false, "list.txt", {A::Sha256}, true, false},
        {"openssl dgst -md5", true, false, "x.md5", {A::Md5}, true, false},
        {"b2sum", true, true, "x.b2", {A::Blake2b512}, false, false},
        {"b2sum --tag", true, true, "list.txt", {A::Blake2b512}, true, false},
        {"openssl dgst -blake2b512", true, false, "list.txt", {A::Blake2b512}, true, false},
        {"rhash --bsd --blake2b -r set", false, false, "list.txt", {A::Blake2b512}, true, false},
        {"b3sum", true, false, "B3SUMS", {A::Blake3}, false, false}, // a CR stays raw in b3sum's names
    };
    for (const ToolCase& c : cases) {
        SCOPED_TRACE(c.Command);
        std::string command = "cd " + ShellQuote(dir.Path()) + " && " + c.Command;
        std::set<std::tuple<std::string, A, std::string>> want;
        for (const auto& [name, bytes] : all) {
            const bool odd = OddNames().count(name) != 0;
            if (odd && !c.Odd) continue;
            if (c.Names) command.append(" ").append(ShellQuote(name));
            for (const A a : c.Algorithms)
                want.insert({name, a, DigestOf(dir, name, a)});
        }
        const ShellResult r = Shell(command + " 2>/dev/null");
        ASSERT_EQ(r.status, 0);

        TextLineReader reader = TextLineReader::OverText(r.out);
        DigestListForm form;
        const ParsedList list = ParseDigestList(reader, {}, AlgorithmOfListName(c.ListName), &form);
        EXPECT_EQ(list.UnreadLines, 0) << list.StopText.value_or("");
        EXPECT_EQ(form.Tagged, c.Tagged);
        EXPECT_EQ(form.Binary, c.Binary);
        std::set<std::tuple<std::string, A, std::string>> got;
        for (const ListRecord& e : list.Entries) {
            got.insert({e.Name, e.Algorithm, Hex(e.Digest)});
            EXPECT_EQ(e.LiteralBackslash, e.Name.find_first_of("\\\n\r") != std::string::npos) << e.Name;
        }
        EXPECT_EQ(list.Entries.size(), want.size());
        EXPECT_EQ(got, want);
    }
}

} // namespace
} // namespace tv::test
