// Finding the database files and reading index files: detection orders,
// the record grammar, and the exact messages.
#include "egdb/indexfile.h"
#include "egdb_support.h"

namespace tarnvel::testing {
namespace {

const DbQuery KING_VS_KING{0, 1u << 5, 0, 1u << 20, 2};   // black to move
const DbQuery TWO_KINGS_VS_KING{0, 0x21, 0, 1u << 20, 2};  // black to move
const std::string NO_3_4 = "\ncannot open index file db/db3.idx\ncannot open index file db/db4.idx";

class Parser : public EgdbTest {};

TEST_F(Parser, DetectionOrder) {
    const struct {
        std::vector<const char*> files;
        int32_t pieces;
        std::string out, details;
        int32_t kingVsKing;
    } cases[] = {
        {{}, 0, "", "", DB_UNKNOWN},
        {{"db/db2.idx"}, 4, NO_3_4, "db/db2.idx\n", DB_UNKNOWN},  // no compressed file
        {{"db/db2.idx", "db/db2.cpr"}, 4, NO_3_4 + "preloading 2-piece db\n", "db/db2.idx\n", DB_WIN},
        {{"db/db2.idx", "db/db3.idx", "db/db5.idx", "db/db6.idx"}, 4, "\ncannot open index file db/db4.idx",
         "db/db2.idx\ndb/db3.idx\n", DB_UNKNOWN},
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all("db");
        std::filesystem::create_directory("db");
        for (const std::string name : c.files) writeText(name, name == "db/db2.idx" ? "BASE0,1,0,1,0,0,b:+\n" : "");
        EXPECT_EQ(open(16), c.pieces) << c.files.size();
        EXPECT_EQ(out, c.out);
        EXPECT_EQ(DatabaseDetails, c.details);
        EXPECT_EQ(cacheBlocks, 2000);
        EXPECT_EQ(probeDatabase(&KING_VS_KING, 0), c.kingVsKing);
        closeDatabase();
    }
}

TEST_F(Parser, AnySplitFileMeansEightPieces) {
    for (const char* name : {"db/db2.idx", "db/db3.idx", "db/db4.idx", "db/db5.idx", "db/db6.idx"}) writeText(name, "");
    writeText("db/db8_2222.cpr", "");
    const std::string splits[] = {"4040", "3140", "3131", "2240", "2231", "2222", "1340", "1331",
                                  "1322", "1313", "0440", "0431", "0422", "0413", "0404"};
    std::string expected = "\ncannot open index file db/db7.idx";
    for (const std::string& s : splits) expected += "\ncannot open index file db/db8_" + s + ".idx";
    for (const std::string& s : splits) expected += (s == "2222" ? "\npreloading " + s + " db" : "") + "\npreloading " + s + " db";
    for (int i = 0; i < 15; ++i)
        if (splits[i] != "2222") expected += "\ndb/db8_" + splits[i] + ".cpr: dbfp[" + std::to_string(6 + i) + "] is null!";
    EXPECT_EQ(open(16), 8);
    EXPECT_EQ(out, expected);
    EXPECT_STREQ(text, "parsing db/db8_0404.idx");
    EXPECT_EQ(cacheBlocks, 65536);
    // Nine pieces, or five on one side, are never looked up.
    const DbQuery nine{0x1F, 0, 0xF0000000, 0, 1}, fiveAgainstThree{0, 0x1F, 0, 0x70000000, 2};
    EXPECT_EQ(probeDatabase(&nine, 0), DB_UNKNOWN);
    EXPECT_EQ(probeDatabase(&fiveAgainstThree, 0), DB_UNKNOWN);
}

// db2.idx with the text and an empty db2.cpr: what opening prints before
// the missing files, and the answers for two slices.
TEST_F(Parser, RecordsAsTheProbeSeesThem) {
    const struct {
        const char* index;
        const char* out;
        int32_t kingVsKing, twoKingsVsKing;
    } cases[] = {
        // Octal and hex heads, blanks, records that replace earlier ones.
        {"  BASE0,01,0,0x1,0,0,b:-\n BASE0,\t2,0,1,0,0,w:+\nBASE0,2,0,1,0,0,b:+BASE0,010,0,1,0,0,b:=\n"
         "BASE0,2,0,1,0,0,b:=\n", "", DB_LOSS, DB_DRAW},
        // An unknown body ends the file; its block records were never
        // counted, so only single values stay.
        {"BASE0,1,0,1,0,0,b:+\nBASE0,2,0,1,0,0,b:0/0\nBASE0,2,0,1,0,0,w: 0/0\n", "Bad singlevalue line \n", DB_WIN,
         DB_UNKNOWN},
        // Heads outside the table are skipped.
        {"BASE5,0,0,1,0,0,b:+\nBASE0,1,0,1,7,0,b:0/0 3\nBASE0,1,0,1,0,-1,b:+\nBASE0,1,0,1,0,0,b:=\n", "", DB_DRAW,
         DB_UNKNOWN},
        // Text that is not a head ends the file as its end would.
        {"BASE0,1,0,1,0,0,b:=\nxyz BASE0,2,0,1,0,0,b:+\n", "", DB_DRAW, DB_UNKNOWN},
    };
    for (const auto& c : cases) {
        writeText("db/db2.idx", c.index);
        writeText("db/db2.cpr", "");
        open(16);
        EXPECT_EQ(out.substr(0, out.find(NO_3_4)), c.out) << c.index;
        EXPECT_EQ(probeDatabase(&KING_VS_KING, 0), c.kingVsKing) << c.index;
        EXPECT_EQ(probeDatabase(&TWO_KINGS_VS_KING, 0), c.twoKingsVsKing) << c.index;
    }
}

// The result: blocks of the compressed file (the last block record's end),
// 0 on an unknown body, −2 when malformed, with the message printed.
TEST_F(Parser, ReadIndexFileResults) {
    writeText("db/db2.idx", "");
    open(16);  // four-piece limits: maxidx 100
    std::string list = "BASE0,2,0,1,0,0,b:0/0";
    for (int i = 1; i <= 98; ++i) list.append(" ").append(std::to_string(i));
    const struct {
        std::string text;
        int32_t result;
        const char* message;
    } cases[] = {
        {"BASE0,2,0,1,0,0,b:3/5 100\n200\nBASE0,1,0,1,0,0,b:+\n", 6, ""},
        {"BASE0,1,0,1,0,0,b:+\nBASE0,1,0,1,0,0,w:-", 0, ""},
        {"BASE0,2,0,1,0,0,b:7/0\n", 8, ""},  // no integers: one block
        {list + "\n", 99, ""},
        {list + " 99\n", -2, "reached maxidx\n"},
        {"BASE0,1,0\n", -2, "Error parsing!\n"},
        {"BASE0,1,0,1,0,0:+", -2, "Error parsing!\n"},
        {"BASE0,1,0,1,0,0,b", 0, "Bad singlevalue line \n"},
        {"BASE0,2,0,1,0,0,b:5", -2, "Bad line\n"},
        {"BASE0,2,0,1,0,0,b:5 7\nBASE0,1,0,1,0,0,b:+\n", -2, "Bad line\n"},
        {"BASE0,2,0,1,0,0,b:", 0, "Bad singlevalue line \n"},
    };
    for (const auto& c : cases) {
        writeText("db/x.idx", c.text);
        ::testing::internal::CaptureStdout();
        EXPECT_EQ(readIndexFile("db/x.idx", 0, 0), c.result) << c.text;
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), c.message) << c.text;
    }
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(readIndexFile("db/missing.idx", 0, 0), -1);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "\ncannot open index file db/missing.idx");
}

}  // namespace
}  // namespace tarnvel::testing
