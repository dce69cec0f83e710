// Finding the database files and reading index files: detection orders,
// the record grammar, and the exact messages and progress texts.
#include <cstring>

#include "egdb/indexfile.h"
#include "egdb_support.h"
#include "tarnvel/tarnvel.h"

namespace tarnvel::testing {
namespace {

using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

const DbQuery KING_VS_KING{0, 1u << 5, 0, 1u << 20, 2};      // black to move
const DbQuery TWO_KINGS_VS_KING{0, 0x21, 0, 1u << 20, 2};     // black to move

// Opens with 16 MB, capturing stdout.
int32_t openCaptured(std::string* out, char* text) {
    CaptureStdout();
    const int32_t result = openDatabase(16, text);
    *out = GetCapturedStdout();
    return result;
}

class Parser : public EgdbTest {};

TEST_F(Parser, NothingFoundStillSetsUpTheSmallCache) {
    std::string out;
    char text[TARNVEL_TEXT_CAPACITY] = "";
    EXPECT_EQ(openCaptured(&out, text), 0);
    EXPECT_EQ(out, "");
    EXPECT_STREQ(text, "");
    EXPECT_STREQ(DatabaseDetails, "");
    EXPECT_EQ(cacheBlocks, 2000);
    EXPECT_EQ(probeDatabase(&KING_VS_KING, 0), DB_UNKNOWN);
}

TEST_F(Parser, OnlyTwoPieceIndexGivesFourPieceLimits) {
    writeText("db/db2.idx", "BASE0,1,0,1,0,0,b:+\n");
    std::string out;
    char text[TARNVEL_TEXT_CAPACITY] = "";
    EXPECT_EQ(openCaptured(&out, text), 4);
    EXPECT_EQ(out, "\ncannot open index file db/db3.idx\ncannot open index file db/db4.idx");
    EXPECT_STREQ(text, "parsing db/db4.idx");
    EXPECT_STREQ(DatabaseDetails, "db/db2.idx\n");
    EXPECT_EQ(cacheBlocks, 2000);
    // The slice is present but its compressed file is not.
    EXPECT_EQ(probeDatabase(&KING_VS_KING, 0), DB_UNKNOWN);

    writeBytes("db/db2.cpr", {});
    closeDatabase();
    EXPECT_STREQ(DatabaseDetails, "");
    EXPECT_EQ(openCaptured(&out, text), 4);
    EXPECT_EQ(out, "\ncannot open index file db/db3.idx\ncannot open index file db/db4.idxpreloading 2-piece db\n");
    EXPECT_EQ(probeDatabase(&KING_VS_KING, 0), DB_WIN);
}

TEST_F(Parser, DetectionStopsAtTheFirstMissingSingleFile) {
    for (const char* name : {"db/db2.idx", "db/db3.idx", "db/db5.idx", "db/db6.idx"}) writeText(name, "");
    std::string out;
    char text[TARNVEL_TEXT_CAPACITY] = "";
    EXPECT_EQ(openCaptured(&out, text), 4);
    EXPECT_EQ(out, "\ncannot open index file db/db4.idx");
    EXPECT_STREQ(DatabaseDetails, "db/db2.idx\ndb/db3.idx\n");
}

TEST_F(Parser, AnySplitFileMeansEightPieces) {
    for (const char* name : {"db/db2.idx", "db/db3.idx", "db/db4.idx", "db/db5.idx", "db/db6.idx"})
        writeText(name, "");
    writeBytes("db/db8_2222.cpr", {});
    const char* splits[] = {"4040", "3140", "3131", "2240", "2231", "2222", "1340", "1331",
                            "1322", "1313", "0440", "0431", "0422", "0413", "0404"};
    std::string expected = "\ncannot open index file db/db7.idx";
    char line[80];
    for (const char* s : splits) {
        std::snprintf(line, sizeof line, "\ncannot open index file db/db8_%s.idx", s);
        expected += line;
    }
    for (const char* s : splits) {
        std::snprintf(line, sizeof line, "\npreloading %s db", s);
        expected += line;
        if (!std::strcmp(s, "2222")) expected += line;
    }
    for (int i = 0; i < 15; ++i) {
        if (!std::strcmp(splits[i], "2222")) continue;
        std::snprintf(line, sizeof line, "\ndb/db8_%s.cpr: dbfp[%d] is null!", splits[i], 6 + i);
        expected += line;
    }
    std::string out;
    char text[TARNVEL_TEXT_CAPACITY] = "";
    EXPECT_EQ(openCaptured(&out, text), 8);
    EXPECT_EQ(out, expected);
    EXPECT_STREQ(text, "parsing db/db8_0404.idx");
    EXPECT_EQ(cacheBlocks, 65536);
    // Nine pieces, or five on one side, are never looked up.
    const DbQuery nine{0x1F, 0, 0xF0000000, 0, 1};
    const DbQuery fiveAgainstThree{0, 0x1F, 0, 0x70000000, 2};
    EXPECT_EQ(probeDatabase(&nine, 0), DB_UNKNOWN);
    EXPECT_EQ(probeDatabase(&fiveAgainstThree, 0), DB_UNKNOWN);
}

// Writes db2.idx with the text and an empty db2.cpr, opens, and returns
// stdout.
std::string openWithIndex(const std::string& index) {
    writeText("db/db2.idx", index);
    writeBytes("db/db2.cpr", {});
    std::string out;
    char text[TARNVEL_TEXT_CAPACITY] = "";
    openCaptured(&out, text);
    const std::string tail = "\ncannot open index file db/db3.idx\ncannot open index file db/db4.idx";
    const size_t at = out.find(tail);
    return at == std::string::npos ? out : out.substr(0, at);
}

TEST_F(Parser, HeadsTakeOctalAndHexAndLaterRecordsReplace) {
    EXPECT_EQ(openWithIndex("  BASE0,01,0,0x1,0,0,b:-\n BASE0,\t2,0,1,0,0,w:+\nBASE0,2,0,1,0,0,b:+"
                            "BASE0,010,0,1,0,0,b:=\nBASE0,2,0,1,0,0,b:=\n"),
              "");
    EXPECT_EQ(probeDatabase(&KING_VS_KING, 0), DB_LOSS);
    EXPECT_EQ(probeDatabase(&TWO_KINGS_VS_KING, 0), DB_DRAW);
}

TEST_F(Parser, UnknownBodyEndsTheFileButKeepsSingleValues) {
    EXPECT_EQ(openWithIndex("BASE0,1,0,1,0,0,b:+\nBASE0,2,0,1,0,0,b:0/0\nBASE0,2,0,1,0,0,w: 0/0\n"),
              "Bad singlevalue line \n");
    EXPECT_EQ(probeDatabase(&KING_VS_KING, 0), DB_WIN);
    // The block record's blocks were never counted, so it is dropped.
    EXPECT_EQ(probeDatabase(&TWO_KINGS_VS_KING, 0), DB_UNKNOWN);
    CaptureStdout();
    EXPECT_EQ(readIndexFile("db/db2.idx", 0, 0), 0);
    GetCapturedStdout();
}

TEST_F(Parser, ResultIsTheLastBlockRecordsEnd) {
    openWithIndex("");
    writeText("db/x.idx", "BASE0,2,0,1,0,0,b:3/5 100\n200\nBASE0,1,0,1,0,0,b:+\n");
    EXPECT_EQ(readIndexFile("db/x.idx", 0, 0), 6);
    writeText("db/x.idx", "BASE0,1,0,1,0,0,b:+\nBASE0,1,0,1,0,0,w:-");
    EXPECT_EQ(readIndexFile("db/x.idx", 0, 0), 0);
    // A block record with no integers covers one block.
    writeText("db/x.idx", "BASE0,2,0,1,0,0,b:7/0\n");
    EXPECT_EQ(readIndexFile("db/x.idx", 0, 0), 8);
    // Text that is not a head ends the file as its end would.
    writeText("db/x.idx", "BASE0,1,0,1,0,0,b:=\nxyz BASE0,2,0,1,0,0,b:+\n");
    CaptureStdout();
    EXPECT_EQ(readIndexFile("db/x.idx", 0, 0), 0);
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(probeDatabase(&KING_VS_KING, 0), DB_DRAW);
    EXPECT_EQ(probeDatabase(&TWO_KINGS_VS_KING, 0), DB_UNKNOWN);
}

TEST_F(Parser, MalformedRecordsFail) {
    openWithIndex("");
    const struct {
        const char* text;
        const char* message;
        int32_t result;
    } cases[] = {
        {"BASE0,1,0\n", "Error parsing!\n", -2},
        {"BASE0,1,0,1,0,0:+", "Error parsing!\n", -2},
        {"BASE0,1,0,1,0,0,b", "Bad singlevalue line \n", 0},
        {"BASE0,2,0,1,0,0,b:5", "Bad line\n", -2},
        {"BASE0,2,0,1,0,0,b:5 7\nBASE0,1,0,1,0,0,b:+\n", "Bad line\n", -2},
        {"BASE0,2,0,1,0,0,b:", "Bad singlevalue line \n", 0},
    };
    for (const auto& c : cases) {
        writeText("db/x.idx", c.text);
        CaptureStdout();
        EXPECT_EQ(readIndexFile("db/x.idx", 0, 0), c.result) << c.text;
        EXPECT_EQ(GetCapturedStdout(), c.message) << c.text;
    }
    CaptureStdout();
    EXPECT_EQ(readIndexFile("db/missing.idx", 0, 0), -1);
    EXPECT_EQ(GetCapturedStdout(), "\ncannot open index file db/missing.idx");
}

TEST_F(Parser, BlockListsStopShortOfMaxidx) {
    openWithIndex("");  // four-piece limits: maxidx 100
    std::string list = "BASE0,2,0,1,0,0,b:0/0";
    for (int i = 1; i <= 98; ++i) list.append(" ").append(std::to_string(i));
    writeText("db/x.idx", list + "\n");
    EXPECT_EQ(readIndexFile("db/x.idx", 0, 0), 99);
    writeText("db/x.idx", list + " 99\n");
    CaptureStdout();
    EXPECT_EQ(readIndexFile("db/x.idx", 0, 0), -2);
    EXPECT_EQ(GetCapturedStdout(), "reached maxidx\n");
}

TEST_F(Parser, HeadsOutsideTheTableAreSkipped) {
    EXPECT_EQ(openWithIndex("BASE5,0,0,1,0,0,b:+\nBASE0,1,0,1,7,0,b:0/0 3\nBASE0,1,0,1,0,-1,b:+\n"
                            "BASE0,1,0,1,0,0,b:=\n"),
              "");
    EXPECT_EQ(probeDatabase(&KING_VS_KING, 0), DB_DRAW);
}

}  // namespace
}  // namespace tarnvel::testing
