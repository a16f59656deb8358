// The link rules: escapes, the names downloads get, the questions asked before
// a mod runs, and the names a package may hold. Downloads and packages
// themselves are tested with a real web server and real zip files
// (tests/cli/mods.sh).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/links.h"
#include "platform/packages.h"

namespace ef2 {
namespace {

// Records what the rules report and ask; answers every question with `answer`.
class RecordingContext : public LinkContext {
public:
    explicit RecordingContext(bool answer) : answer_(answer) {}
    void reportLink(std::string_view line) override { lines.emplace_back(line); }
    bool askAboutLink(const std::string& text, const std::string& caption, int32_t origin) override {
        questions.push_back(caption + " | " + text + " | " + std::to_string(origin));
        return answer_;
    }
    void showLinkProgress(std::string_view) override {}
    void releaseStuckInput() override {}

    std::vector<std::string> lines, questions;

private:
    bool answer_;
};

TEST(LinkEscapes, OnlyTheListedUpperCaseEscapesAreDecoded) {
    std::string text = "a%20b%26c%27d%28e%29f%2Ag%2Bh%2Ci%2Dj%5Fk";
    decodeLinkEscapes(text);
    EXPECT_EQ(text, "a b&c'd(e)f*g+h,i-j_k");
    text = "%2a%2f%3A%25%41";
    decodeLinkEscapes(text);
    EXPECT_EQ(text, "%2a%2f%3A%25%41");
}

TEST(DownloadNames, AddressesBecomeNamesBelowWebdls) {
    EXPECT_EQ(downloadName("http://example.com/mods/m.ef2"), "webdls/example.com/mods/m.ef2");
    EXPECT_EQ(downloadName("http://127.0.0.1:8080/m.ef2?v=1&x=2"), "webdls/127.0.0.1:8080/m.ef2@v=1&x=2");
    for (const char* refused : {
             "http://h/../../myconfig.ef2",
             "http://h/a/./b",
             "http://h//b",
             "http://h/",
             "http://h",
             "http://user@h/m.ef2",
             "http://h:port/m.ef2",
             "http://h:123456/m",
             "http:///m.ef2",
             "http://h_x/m",
             "http://h/a\\b",
             "http://h/a\x01",
             "ftp://h/m.ef2",
             "http://../m.ef2",
             "http://h/..",
         }) {
        EXPECT_EQ(downloadName(refused), "") << refused;
    }
    EXPECT_EQ(downloadName("http://h/" + std::string(255, 'a')), "webdls/h/" + std::string(255, 'a'));
    EXPECT_EQ(downloadName("http://h/" + std::string(256, 'a')), "");
    std::string deep = "http://h";
    while (deep.size() < 1030) deep += "/abcdefgh";
    EXPECT_EQ(downloadName(deep), "");
}

TEST(Links, ModLinksAskBeforeAnythingIsFetched) {
    RecordingContext declining(false);
    std::string link = "ef2mod://example.com/m.ef2";
    EXPECT_FALSE(handleLink(declining, link, LinkRules::Lenient));
    ASSERT_EQ(declining.questions.size(), 1u);
    EXPECT_EQ(declining.questions[0],
              "Download and run mod? | Would you like to run this mod?\nhttp://example.com/m.ef2\n"
              "It could contain viruses. | 0");
    EXPECT_TRUE(declining.lines.empty()) << "nothing was fetched, nothing to report";
}

TEST(Links, APeersWebAddressIsAskedAboutNamingTheConnection) {
    RecordingContext declining(false);
    std::string link = "http://example.com/m.ef2";
    EXPECT_FALSE(handleLink(declining, link, LinkRules::Strict, 3));
    ASSERT_EQ(declining.questions.size(), 1u);
    EXPECT_NE(declining.questions[0].find("Connection 3 asks to download and run\nhttp://example.com/m.ef2"),
              std::string::npos);
    EXPECT_EQ(declining.lines.back(), "Refused link \"http://example.com/m.ef2\" from connection 3");
    // The local user's web addresses are not asked about.
    RecordingContext local(true);
    std::string climbing = "http://example.com/../x.ef2";
    EXPECT_FALSE(handleLink(local, climbing, LinkRules::Lenient));
    EXPECT_TRUE(local.questions.empty());
    EXPECT_EQ(local.lines.back(), "Refused link \"http://example.com/../x.ef2\"");
}

TEST(Links, RefusedNamesAndPlainNames) {
    RecordingContext context(true);
    std::string forbidden = "wget.ef2";
    EXPECT_FALSE(handleLink(context, forbidden, LinkRules::Lenient));
    EXPECT_EQ(context.lines.back(), "Refused file name \"wget.ef2\"");
    std::string plain = "my%20world.png";
    EXPECT_TRUE(handleLink(context, plain, LinkRules::Strict));
    EXPECT_EQ(plain, "my world.png");
    std::string missingPackage = "nothing-here.ef2.zip";
    EXPECT_FALSE(handleLink(context, missingPackage, LinkRules::Strict));
    EXPECT_EQ(context.lines.back(), "Refused package \"nothing-here.ef2.zip\": cannot open the package");
}

TEST(Packages, EntryNamesStayInTheirFolder) {
    for (const char* allowed : {"m.ef2", "img/a.bmp", "img/", "a b/c d.ef2", "x..y"}) {
        EXPECT_TRUE(packageEntryNameAllowed(allowed)) << allowed;
    }
    for (const char* refused : {"", "/etc/passwd", "../x", "a/../../x", "a/..", "./a", "a//b", "C:x", "a\\b",
                                "a\nb", "a\x7f", "/"}) {
        EXPECT_FALSE(packageEntryNameAllowed(refused)) << refused;
    }
    EXPECT_TRUE(packageEntryNameAllowed(std::string(255, 'a')));
    EXPECT_FALSE(packageEntryNameAllowed(std::string(256, 'a')));
}

}  // namespace
}  // namespace ef2
