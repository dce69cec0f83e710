// tarnvel-evalnet: the engine's network scores of training records, one a
// line, for `train.py check` to compare with its own. Each position is
// evaluated from scratch, and again after being reached by an incremental
// update from the previous record; a difference between the two is a fault.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/train/training_record.h"
#include "v2/eval/network.h"

int main(int argc, char** argv) {
    using namespace tarnvel;
    std::string weightsFile, recordsFile;
    CLI::App app("Prints the network's score of each training record, for the side to move.", "tarnvel-evalnet");
    app.add_option("WEIGHTS", weightsFile, "weights file exported by train.py")->required();
    app.add_option("RECORDS", recordsFile, "file of 24-byte training records")->required();
    CLI11_PARSE(app, argc, argv);

    std::ifstream weightsIn(weightsFile, std::ios::binary), recordsIn(recordsFile, std::ios::binary);
    const std::vector<uint8_t> weights{std::istreambuf_iterator<char>(weightsIn), {}};
    const std::vector<char> bytes{std::istreambuf_iterator<char>(recordsIn), {}};
    if (!weightsIn || !v2::network::loadWeights(weights.data(), weights.size())) {
        std::fprintf(stderr, "tarnvel-evalnet: '%s' is not a weights file of this network's shape\n", weightsFile.c_str());
        return 1;
    }
    if (!recordsIn || bytes.size() % sizeof(TrainingRecord) != 0) {
        std::fprintf(stderr, "tarnvel-evalnet: '%s' is not a file of training records\n", recordsFile.c_str());
        return 1;
    }
    std::vector<TrainingRecord> records(bytes.size() / sizeof(TrainingRecord));
    std::memcpy(records.data(), bytes.data(), bytes.size());

    Position previous{};
    v2::network::Accumulator incremental, fresh;
    v2::network::refresh(previous, incremental);
    for (const TrainingRecord& r : records) {
        const Position p{0, r.wm, r.wk, r.bm, r.bk, 0, 0, 0};
        v2::network::refresh(p, fresh);
        v2::network::update(incremental, previous, p, incremental);
        if (std::memcmp(&incremental, &fresh, sizeof fresh) != 0) {
            std::fprintf(stderr, "tarnvel-evalnet: the incremental update differs from a refresh\n");
            return 1;
        }
        std::printf("%d\n", v2::network::evaluate(fresh, r.side));
        previous = p;
    }
    return 0;
}
