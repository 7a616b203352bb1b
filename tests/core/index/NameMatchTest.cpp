#include "core/index/NameMatch.h"

#include <gtest/gtest.h>
#include <utf8proc.h>

#include <cstdlib>

#include <random>
#include <string>
#include <thread>
#include <vector>

using namespace nrvs;

namespace {

bool Match(std::string_view pattern, std::string_view name) {
    return NameMatcher(pattern).Matches(name);
}

// The characters of a folded text as '?' counts them: a code point, or one
// byte that is not valid UTF-8.
std::vector<std::string> Units(const std::string& s) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < s.size()) {
        const auto b = static_cast<unsigned char>(s[i]);
        size_t len = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 ? 2 : 1;
        bool valid = i + len <= s.size();
        for (size_t k = 1; valid && k < len; ++k)
            valid = (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80;
        if (!valid) len = 1;
        out.push_back(s.substr(i, len));
        i += len;
    }
    return out;
}

// A plain recursive matcher over whole characters, to hold the fast one to.
bool ReferenceGlob(const std::vector<std::string>& p, size_t pi, const std::vector<std::string>& t,
                   size_t ti) {
    if (pi == p.size()) return ti == t.size();
    if (p[pi] == "*") {
        for (size_t k = ti; k <= t.size(); ++k)
            if (ReferenceGlob(p, pi + 1, t, k)) return true;
        return false;
    }
    if (ti == t.size()) return false;
    if (p[pi] != "?" && p[pi] != t[ti]) return false;
    return ReferenceGlob(p, pi + 1, t, ti + 1);
}

bool ReferenceMatch(const std::string& pattern, const std::string& name) {
    const std::string p = FoldForSearch(pattern), t = FoldForSearch(name);
    if (p.find_first_of("*?") == std::string::npos) return t.find(p) != std::string::npos;
    return ReferenceGlob(Units(p), 0, Units(t), 0);
}

} // namespace

TEST(NameMatchFold, WidthCaseAndCompatibilityFormsFoldTogether) {
    EXPECT_EQ(FoldForSearch("ｶﾒﾗ"), "カメラ");
    EXPECT_EQ(FoldForSearch("ＤＳＣ_0001.JPG"), "dsc_0001.jpg");
    EXPECT_EQ(FoldForSearch("README.Md"), "readme.md");
    // A half-width voiced mark composes with the kana before it, and so does
    // the combining mark of a decomposed name.
    EXPECT_EQ(FoldForSearch("ｶﾞｷﾞ"), "ガギ");
    EXPECT_EQ(FoldForSearch("カ\u3099"), "ガ");
    EXPECT_EQ(FoldForSearch("㈱"), "(株)");
    EXPECT_EQ(FoldForSearch("ﬁle"), "file");
    EXPECT_EQ(FoldForSearch("①"), "1");
}

TEST(NameMatchFold, FullCaseFoldingAsUtf8procDefinesIt) {
    EXPECT_EQ(FoldForSearch("Straße"), "strasse");
    EXPECT_EQ(FoldForSearch("STRASSE"), "strasse");
    EXPECT_EQ(FoldForSearch("ẞ"), "ss");
    EXPECT_EQ(FoldForSearch("ΟΔΟΣ"), FoldForSearch("οδος"));
    EXPECT_EQ(FoldForSearch("οδος"), FoldForSearch("οδοσ")); // final sigma
    EXPECT_EQ(FoldForSearch("\u212A"), "k");                 // Kelvin sign
    EXPECT_EQ(FoldForSearch("ПРИВЕТ"), "привет");
}

TEST(NameMatchFold, InvalidBytesAreCopiedThroughAndTheRestStillFolds) {
    EXPECT_EQ(FoldForSearch("AB\xFF"
                            "CD"),
              "ab\xFF"
              "cd");
    EXPECT_EQ(FoldForSearch("\x80"), "\x80");
    // A cut-off sequence, an overlong form and an encoded surrogate: every
    // byte of each stays, and the valid text around them is folded.
    EXPECT_EQ(FoldForSearch("ｶ\xE3\x82"
                            "X"),
              "カ\xE3\x82"
              "x");
    EXPECT_EQ(FoldForSearch("\xC0\xAF"
                            "Ａ"),
              "\xC0\xAF"
              "a");
    EXPECT_EQ(FoldForSearch("\xED\xA0\x80"
                            "ﾒ"),
              "\xED\xA0\x80"
              "メ");
    EXPECT_EQ(FoldForSearch(""), "");
    const std::string nul("a\0B", 3);
    EXPECT_EQ(FoldForSearch(nul), std::string("a\0b", 3));
}

TEST(NameMatchFold, ExpandingCharactersOutgrowTheirBytes) {
    // One three-byte character that folds to eighteen code points.
    const std::string folded = FoldForSearch("\uFDFA");
    EXPECT_GT(folded.size(), 3u * 10);
    std::string many;
    for (int i = 0; i < 80; ++i)
        many += "\uFDFA";
    EXPECT_EQ(FoldForSearch(many).size(), folded.size() * 80);
}

// ASCII is folded without utf8proc where nothing can compose with it; the
// result must be what utf8proc gives for the whole text, for every character
// next to ASCII and next to itself.
TEST(NameMatchFold, PiecewiseFoldingEqualsFoldingTheWholeText) {
    const auto options = static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_COMPOSE |
                                                        UTF8PROC_COMPAT | UTF8PROC_CASEFOLD);
    auto whole = [&](const std::string& s) {
        utf8proc_uint8_t* out = nullptr;
        const utf8proc_ssize_t len =
            utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(s.data()),
                         static_cast<utf8proc_ssize_t>(s.size()), &out, options);
        std::string r = len >= 0
                            ? std::string(reinterpret_cast<char*>(out), static_cast<size_t>(len))
                            : "<error>";
        std::free(out);
        return r;
    };
    EXPECT_EQ(FoldForSearch("Cafe\u0301.TXT"), "caf\u00e9.txt");
    EXPECT_EQ(FoldForSearch("A\u030A"), "\u00e5");
    int checked = 0;
    for (utf8proc_int32_t cp = 0x80; cp < 0x30000; ++cp) {
        if (!utf8proc_codepoint_valid(cp)) continue;
        utf8proc_uint8_t enc[4];
        const std::string c(reinterpret_cast<char*>(enc),
                            static_cast<size_t>(utf8proc_encode_char(cp, enc)));
        const std::string text = "E" + c + "x." + c + c + "Z";
        ASSERT_EQ(FoldForSearch(text), whole(text)) << "U+" << std::hex << cp;
        ++checked;
    }
    EXPECT_GT(checked, 100000);
}

TEST(NameMatchSubstring, WidthAndCaseDoNotMatter) {
    EXPECT_TRUE(Match("ｶﾒﾗ", "カメラ.jpg"));
    EXPECT_TRUE(Match("カメラ", "ｶﾒﾗ.jpg"));
    EXPECT_TRUE(Match("dsc", "ＤＳＣ_0001.JPG"));
    EXPECT_TRUE(Match("DSC", "ＤＳＣ_0001.JPG"));
    EXPECT_TRUE(Match("ＤＳＣ", "dsc_0001.jpg"));
    EXPECT_TRUE(Match("readme", "README"));
    EXPECT_TRUE(Match("README", "readme.txt"));
    EXPECT_TRUE(Match("STRASSE", "Straße.txt"));
    EXPECT_TRUE(Match("straße", "STRASSE.txt"));
    EXPECT_FALSE(Match("カメラ", "カメ.jpg"));
    EXPECT_FALSE(Match("ガ", "カメラ"));
}

TEST(NameMatchSubstring, FoundAnywhereInTheName) {
    EXPECT_TRUE(Match("0001", "DSC_0001.JPG"));
    EXPECT_TRUE(Match("c_0", "DSC_0001.JPG"));
    EXPECT_TRUE(Match(".jpg", "DSC_0001.JPG"));
    EXPECT_TRUE(Match("DSC_0001.JPG", "DSC_0001.JPG"));
    EXPECT_FALSE(Match("DSC_0001.JPGX", "DSC_0001.JPG"));
    EXPECT_FALSE(Match("0002", "DSC_0001.JPG"));
    EXPECT_TRUE(Match("旅行", "2024年の旅行写真"));
    EXPECT_TRUE(Match("aab", "aaab")); // a false start must not skip the match
    EXPECT_FALSE(Match("x", ""));
}

TEST(NameMatchSubstring, ANonAsciiPatternNeverMatchesAnAsciiName) {
    EXPECT_FALSE(Match("é", "e"));
    EXPECT_FALSE(Match("カ", "ka"));
    // ...but a pattern that folds to ASCII does.
    EXPECT_TRUE(Match("Ｋ", "k.txt"));
    EXPECT_TRUE(Match("\u212A", "K.txt"));
}

TEST(NameMatchWildcard, TheWholeNameMustMatch) {
    EXPECT_TRUE(Match("*.jpg", "photo.JPG"));
    EXPECT_TRUE(Match("*.jpg", "写真.jpg"));
    EXPECT_FALSE(Match("*.jpg", "photo.jpg.bak"));
    EXPECT_FALSE(Match("*.jpg", "photo.jpeg"));
    EXPECT_TRUE(Match("IMG_????.*", "IMG_0042.HEIC"));
    EXPECT_TRUE(Match("IMG_????.*", "img_0042."));
    EXPECT_FALSE(Match("IMG_????.*", "IMG_042.HEIC"));
    EXPECT_FALSE(Match("IMG_????.*", "IMG_00042.HEIC"));
    EXPECT_FALSE(Match("IMG_????.*", "X_IMG_0042.HEIC"));
    EXPECT_TRUE(Match("a*b*c", "abc"));
    EXPECT_TRUE(Match("a*b*c", "aXXbYYc"));
    EXPECT_TRUE(Match("a*b*c", "abcbc"));
    EXPECT_FALSE(Match("a*b*c", "abcd"));
    EXPECT_FALSE(Match("a*b*c", "acb"));
    EXPECT_TRUE(Match("*abc", "ababc")); // the '*' must give back what it took
    EXPECT_TRUE(Match("?", "x"));
    EXPECT_FALSE(Match("?", ""));
    EXPECT_FALSE(Match("??", "x"));
    EXPECT_FALSE(Match("x?", "x"));
    EXPECT_TRUE(Match("x*", "x"));
    EXPECT_TRUE(Match("*x*", "x"));
}

TEST(NameMatchWildcard, QuestionMarkTakesOneCharacterNotOneByte) {
    EXPECT_TRUE(Match("?", "カ"));
    EXPECT_TRUE(Match("?", "ｶ"));
    EXPECT_TRUE(Match("???", "ｶﾒﾗ"));
    EXPECT_FALSE(Match("??", "ｶﾒﾗ"));
    EXPECT_TRUE(Match("写?.jpg", "写真.jpg"));
    EXPECT_FALSE(Match("写??.jpg", "写真.jpg"));
    EXPECT_TRUE(Match("?", "😀"));
    EXPECT_FALSE(Match("?", "ß")); // ß folds to two characters, "ss"
    EXPECT_TRUE(Match("??", "ß"));
    // After a '*' has taken part of the name, what it gives back is whole
    // characters, so these counts stay exact.
    EXPECT_FALSE(Match("*???", "アイ"));
    EXPECT_FALSE(Match("*??a*", "アaア"));
    EXPECT_TRUE(Match("*??a*", "アアaア"));
    EXPECT_TRUE(Match("*??", "アイ"));
    EXPECT_TRUE(Match("*?イ", "アアイ"));
    EXPECT_FALSE(Match("*?", ""));
}

TEST(NameMatchWildcard, FullWidthWildcardsActLikeTheirAsciiForms) {
    // An input method often gives '＊' and '？'; they fold to '*' and '?'.
    EXPECT_TRUE(NameMatcher("＊.jpg").HasWildcard());
    EXPECT_TRUE(Match("＊.ＪＰＧ", "photo.jpg"));
    EXPECT_TRUE(Match("IMG_？？？？.jpg", "IMG_0001.jpg"));
    EXPECT_FALSE(NameMatcher("photo").HasWildcard());
}

TEST(NameMatchEdges, EmptyPatternAndLoneStarMatchEverything) {
    const NameMatcher empty("");
    EXPECT_TRUE(empty.Empty());
    EXPECT_TRUE(empty.Matches(""));
    EXPECT_TRUE(empty.Matches("a"));
    EXPECT_TRUE(empty.Matches("カメラ"));
    EXPECT_TRUE(empty.Matches("\xFF"));
    for (const char* pattern : {"*", "**", "＊"}) {
        const NameMatcher star(pattern);
        EXPECT_FALSE(star.Empty());
        EXPECT_TRUE(star.Matches("")) << pattern;
        EXPECT_TRUE(star.Matches("anything.txt")) << pattern;
        EXPECT_TRUE(star.Matches("写真")) << pattern;
        EXPECT_TRUE(star.Matches("\xFE\xFF")) << pattern;
    }
}

TEST(NameMatchEdges, InvalidUtf8NamesStayMatchableByTheirValidParts) {
    const std::string name = "REPORT\xFF\xFE_2024.DOC";
    EXPECT_TRUE(Match("report", name));
    EXPECT_TRUE(Match("_2024", name));
    EXPECT_TRUE(Match("*.doc", name));
    EXPECT_TRUE(Match("report??_2024.doc", name)); // one '?' a bad byte
    EXPECT_FALSE(Match("report?_2024.doc", name));
    EXPECT_FALSE(Match("カ", name));
    const std::string mixed = "ｶﾒﾗ\xE3\x82_\x80";
    EXPECT_TRUE(Match("カメラ", mixed));
    EXPECT_TRUE(Match("カメラ*", mixed));
    EXPECT_TRUE(Match("???\xE3\x82_?", mixed));
    EXPECT_TRUE(Match("\xFF", "a\xFF"
                              "b"));
    EXPECT_FALSE(Match("\xFE", "a\xFF"
                               "b"));
}

TEST(NameMatchEdges, LongNamesAndPathologicalPatternsStayCheap) {
    const std::string a255(255, 'a');
    EXPECT_TRUE(Match(std::string(255, 'A'), a255));
    EXPECT_TRUE(Match("*" + std::string(254, 'a'), a255));
    EXPECT_FALSE(Match(std::string(255, 'a') + "b", a255));
    EXPECT_FALSE(Match(std::string(254, 'a') + "b", a255)); // substring, every start fails late
    // Backtracking into every earlier '*' would take exponential time here.
    EXPECT_FALSE(Match("*a*a*a*a*b", a255));
    EXPECT_FALSE(Match("*a*a*a*a*a*a*a*a*a*a*a*a*b", a255));
    EXPECT_TRUE(Match("*a*a*a*a*a", a255));
    EXPECT_FALSE(Match("*a*a*a*a*b", a255 + "\xFF"));
    std::string kana; // 85 three-byte characters: 255 bytes
    for (int i = 0; i < 85; ++i)
        kana += "ア";
    EXPECT_FALSE(Match("*ア*ア*ア*ア*イ", kana));
    EXPECT_TRUE(Match("*ア*ア*ア*ア*ア", kana));
    EXPECT_TRUE(Match(std::string(85, '?'), kana));
    EXPECT_FALSE(Match(std::string(86, '?'), kana));
    EXPECT_FALSE(Match(std::string(84, '?'), kana));
    // Many matches, each tried against every name of a long list.
    const NameMatcher hard("*a*a*a*a*a*a*a*a*b");
    int found = 0;
    for (int i = 0; i < 2000; ++i)
        found += hard.Matches(a255);
    EXPECT_EQ(found, 0);
}

// The ASCII fast path, the folding path and a plain matcher over whole
// characters must agree on everything, wildcards, case, width and bad bytes
// included.
TEST(NameMatchEdges, FastPathAgreesWithAPlainMatcherOnRandomInput) {
    const std::vector<std::string> nameParts = {"a", "A", "b", ".",    "ｱ",       "ア",
                                                "ß", "s", "S", "\xFF", "\xE3\x82"};
    std::vector<std::string> patternParts = nameParts;
    patternParts.insert(patternParts.end(), {"*", "?", "?", "*"});
    std::mt19937 rng(12345);
    auto make = [&](const std::vector<std::string>& parts, int maxLen) {
        std::string s;
        const int len = static_cast<int>(rng() % (maxLen + 1));
        for (int i = 0; i < len; ++i)
            s += parts[rng() % parts.size()];
        return s;
    };
    int matched = 0;
    for (int round = 0; round < 3000; ++round) {
        const std::string pattern = make(patternParts, 6);
        const NameMatcher m(pattern);
        for (int i = 0; i < 8; ++i) {
            const std::string name = make(nameParts, 7);
            const bool expected = ReferenceMatch(pattern, name);
            ASSERT_EQ(m.Matches(name), expected)
                << "pattern '" << pattern << "' name '" << name << "'";
            matched += expected;
        }
    }
    EXPECT_GT(matched, 1000); // the cases were not all misses
}

// A whole drive's worth of names is not timed here, only counted: every name
// goes through the matcher once and nothing may grow with the list.
TEST(NameMatchEdges, ManyNamesOnSeveralThreadsGiveTheSameCounts) {
    std::vector<std::string> names;
    for (int i = 0; i < 20000; ++i) {
        names.push_back("IMG_" + std::to_string(1000 + i % 9000) + (i % 3 ? ".JPG" : ".png"));
        names.push_back("ｶﾒﾗ_" + std::to_string(i) + ".jpg");
        names.push_back("ドキュメント" + std::to_string(i) + ".txt");
    }
    const NameMatcher jpg("*.jpg"), kamera("カメラ"), img("img_????.*");
    auto count = [&](const NameMatcher& m) {
        int n = 0;
        for (const auto& name : names)
            n += m.Matches(name);
        return n;
    };
    const int jpgs = count(jpg), kameras = count(kamera), imgs = count(img);
    EXPECT_EQ(kameras, 20000);
    EXPECT_EQ(imgs, 20000);
    EXPECT_EQ(jpgs, 13333 + 20000); // the IMG_ names with i % 3 != 0, and every ｶﾒﾗ_ name
    std::vector<std::thread> threads;
    std::vector<int> results(4 * 3);
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            results[t * 3] = count(jpg);
            results[t * 3 + 1] = count(kamera);
            results[t * 3 + 2] = count(img);
        });
    for (auto& th : threads)
        th.join();
    for (int t = 0; t < 4; ++t) {
        EXPECT_EQ(results[t * 3], jpgs);
        EXPECT_EQ(results[t * 3 + 1], kameras);
        EXPECT_EQ(results[t * 3 + 2], imgs);
    }
}
