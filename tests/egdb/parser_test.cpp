// Finding the database files and reading index files, with exact messages.
#include "egdb/indexfile.h"
#include "egdb_support.h"

namespace tarnvel::testing {
namespace {

const DbQuery KING_VS_KING{0, 1u << 5, 0, 1u << 20, 2};   // black to move
const DbQuery TWO_KINGS_VS_KING{0, 0x21, 0, 1u << 20, 2};  // black to move
const DbQuery NINE{0x1F, 0, 0xF0000000, 0, 1};             // never looked up
const std::string NO_3_4 = "\ncannot open index file db/db3.idx\ncannot open index file db/db4.idx";

class Parser : public EgdbTest {};

TEST_F(Parser, DetectionOrder) {
    const struct {
        std::vector<const char*> files;
        int32_t pieces, blocks;
        const char* out;  // null: not checked
        const char* details;
        int32_t kingVsKing;
        int32_t megabytes = 16;  // the size asked for counts from seven pieces on
    } cases[] = {
        {{}, 0, 2000, "", "", DB_UNKNOWN},
        {{"db/db2.idx"}, 4, 2000, "", "db/db2.idx\n", DB_UNKNOWN},  // no compressed file
        {{"db/db2.idx", "db/db2.cpr"}, 4, 2000, "preloading 2-piece db\n", "db/db2.idx\n", DB_WIN},
        {{"db/db2.idx", "db/db3.idx", "db/db5.idx", "db/db6.idx"}, 4, 2000, "\ncannot open index file db/db4.idx",
         "db/db2.idx\ndb/db3.idx\n", DB_UNKNOWN},
        // Any file of the split 8-piece database means eight pieces.
        {{"db/db2.idx", "db/db3.idx", "db/db4.idx", "db/db5.idx", "db/db6.idx", "db/db8_2222.cpr"}, 8, 65536, nullptr,
         "db/db2.idx\ndb/db3.idx\ndb/db4.idx\ndb/db5.idx\ndb/db6.idx\n", DB_UNKNOWN},
        {{"db/db2.idx", "db/db3.idx", "db/db4.idx", "db/db5.idx", "db/db6.idx"}, 6, 42000, nullptr, nullptr, DB_UNKNOWN},
        {{"db/db2.idx", "db/db3.idx", "db/db4.idx", "db/db5.idx", "db/db6.idx", "db/db7.idx"}, 7, 307200, nullptr, nullptr, DB_UNKNOWN, 300},
        {{"db/db2.idx", "db/db3.idx", "db/db4.idx", "db/db5.idx", "db/db6.idx", "db/db7.idx"}, 7, 65536, nullptr, nullptr, DB_UNKNOWN, -5},
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all("db");
        std::filesystem::create_directory("db");
        for (const std::string name : c.files) writeText(name, name == "db/db2.idx" ? "BASE0,1,0,1,0,0,b:+\n" : "");
        EXPECT_EQ(open(c.megabytes), c.pieces) << c.files.size();
        EXPECT_TRUE(!c.out || out == (c.files.size() == 1 || c.files.size() == 2 ? NO_3_4 : "") + c.out) << out;
        EXPECT_TRUE(!c.details || DatabaseDetails == std::string(c.details)) << DatabaseDetails;
        EXPECT_EQ(cacheBlocks, c.blocks);
        EXPECT_EQ(probeDatabase(&KING_VS_KING, 0), c.kingVsKing);
        EXPECT_EQ(probeDatabase(&NINE, 0), DB_UNKNOWN);
        closeDatabase();
    }
}

// Each text as db2.idx over an empty db2.cpr: what opening prints, two answers,
// and readIndexFile's result: the blocks of the compressed file (the last block
// record's end), 0 on an unknown body, −2 when malformed, −1 when missing.
TEST_F(Parser, IndexFileRecords) {
    std::string list = "BASE0,2,0,1,0,0,b:0/0";
    for (int i = 1; i <= 98; ++i) list.append(" ").append(std::to_string(i));
    const std::tuple<std::string, int32_t, const char*, int32_t, int32_t> cases[] = {
        // Octal and hex heads, blanks, records that replace earlier ones.
        {"  BASE0,01,0,0x1,0,0,b:-\n BASE0,\t2,0,1,0,0,w:+\nBASE0,2,0,1,0,0,b:+BASE0,010,0,1,0,0,b:=\n"
         "BASE0,2,0,1,0,0,b:=\n", 0, "", DB_LOSS, DB_DRAW},
        // An unknown body ends the file and drops its block records.
        {"BASE0,1,0,1,0,0,b:+\nBASE0,2,0,1,0,0,b:0/0\nBASE0,2,0,1,0,0,w: 0/0\n", 0, "Bad singlevalue line \n", DB_WIN, DB_UNKNOWN},
        // Heads outside the table are skipped, text that is not a head ends the file.
        {"BASE5,0,0,1,0,0,b:+\nBASE0,1,0,1,7,0,b:0/0 3\nBASE0,1,0,1,0,-1,b:+\nBASE0,1,0,1,0,0,b:=\n", 2, "", DB_DRAW, DB_UNKNOWN},
        {"BASE0,1,0,1,0,0,b:-\nxyz BASE0,2,0,1,0,0,b:+\n", 0, "", DB_LOSS, DB_UNKNOWN},
        {"BASE0,2,0,1,0,0,b:3/5 100\n200\nBASE0,1,0,1,0,0,b:+\n", 6, "", DB_WIN, DB_UNKNOWN},
        {"BASE0,1,0,1,0,0,b:+\nBASE0,1,0,1,0,0,w:-", 0, "", DB_WIN, DB_UNKNOWN},
        {"BASE0,2,0,1,0,0,b:7/0\n", 8, "", DB_UNKNOWN, DB_UNKNOWN},  // no integers: one block
        {list + "\n", 99, "", DB_UNKNOWN, DB_UNKNOWN},
        {list + " 99\n", -2, "reached maxidx\n", DB_UNKNOWN, DB_UNKNOWN},
        {"BASE0,1,0,1,0,0:+", -2, "Error parsing!\n", DB_UNKNOWN, DB_UNKNOWN},
        {"BASE0,1,0,1,0,0,b", 0, "Bad singlevalue line \n", DB_UNKNOWN, DB_UNKNOWN},
        {"BASE0,1,0,1,0,0,b:=\nBASE0,2,0,1,0,0,b:5", -2, "Bad line\n", DB_DRAW, DB_UNKNOWN},
    };
    for (const auto& [index, blocks, message, kingVsKing, twoKingsVsKing] : cases) {
        writeText("db/db2.idx", index);
        writeText("db/db2.cpr", "");
        open(16);  // four-piece limits: maxidx 100
        EXPECT_EQ(out.substr(0, out.find(NO_3_4)), message) << index;
        EXPECT_EQ(probeDatabase(&KING_VS_KING, 0), kingVsKing) << index;
        EXPECT_EQ(probeDatabase(&TWO_KINGS_VS_KING, 0), twoKingsVsKing) << index;
        ::testing::internal::CaptureStdout();
        EXPECT_EQ(readIndexFile("db/db2.idx", 0, 0), blocks) << index;
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), message) << index;
    }
    EXPECT_EQ(readIndexFile("db/missing.idx", 0, 0), -1);
}

}  // namespace
}  // namespace tarnvel::testing
