#include "pdn_io.h"

#include <cctype>
#include <ctime>

#include "interface/postext.h"

namespace tarnvel::cli {

namespace {

constexpr size_t LINE_WIDTH = 79;
constexpr const char* RESULTS[] = {"2-0", "0-2", "1-1", "1-0", "0-1", "0-0", "1/2-1/2", "*"};

bool isResult(std::string_view token) {
    for (const char* r : RESULTS)
        if (token == r) return true;
    return false;
}

bool isDelimiter(char c) {
    return std::isspace(static_cast<unsigned char>(c)) || c == '[' || c == ']' || c == '{' ||
           c == '}' || c == '(' || c == ')' || c == ';';
}

std::string lineError(int line, const std::string& what) {
    return "line " + std::to_string(line) + ": " + what;
}

struct Reader {
    std::string_view text;
    size_t at = 0;
    int line = 1;

    char peek() const { return at < text.size() ? text[at] : '\0'; }
    bool done() const { return at >= text.size(); }
    char next() {
        const char c = text[at++];
        if (c == '\n') ++line;
        return c;
    }
    void skipBlanks() {
        while (!done() && std::isspace(static_cast<unsigned char>(peek()))) next();
    }
    // Skips past `close`; false when the text ends first.
    bool skipPast(char close) {
        while (!done())
            if (next() == close) return true;
        return false;
    }
};

bool readTag(Reader& r, PdnTag& tag, std::string& error) {
    const int line = r.line;
    r.next();
    r.skipBlanks();
    while (!r.done() && (std::isalnum(static_cast<unsigned char>(r.peek())) || r.peek() == '_'))
        tag.name += r.next();
    r.skipBlanks();
    if (tag.name.empty() || r.peek() != '"') {
        error = lineError(line, "malformed tag");
        return false;
    }
    r.next();
    for (;;) {
        if (r.done() || r.peek() == '\n') {
            error = lineError(line, "unterminated tag value");
            return false;
        }
        char c = r.next();
        if (c == '"') break;
        if (c == '\\' && (r.peek() == '"' || r.peek() == '\\')) c = r.next();
        tag.value += c;
    }
    r.skipBlanks();
    if (r.peek() != ']') {
        error = lineError(line, "malformed tag");
        return false;
    }
    r.next();
    return true;
}

// Variations may nest and hold comments; their moves are not checked.
bool skipVariation(Reader& r) {
    int depth = 0;
    while (!r.done()) {
        const char c = r.next();
        if (c == '{' && !r.skipPast('}')) return false;
        if (c == '(') ++depth;
        if (c == ')' && --depth == 0) return true;
    }
    return false;
}

std::string escaped(const std::string& value) {
    std::string text;
    for (char c : value) {
        if (c == '"' || c == '\\') text += '\\';
        text += c;
    }
    return text;
}

}  // namespace

bool readPdn(std::string_view text, std::vector<PdnGame>& games, std::string& error) {
    Reader r{text};
    if (text.substr(0, 3) == "\xEF\xBB\xBF") r.at = 3;
    PdnGame game;
    bool open = false;
    auto finish = [&](const std::string& result) {
        const std::string* tag = findTag(game, "Result");
        game.result = !result.empty() ? result : tag ? *tag : "*";
        games.push_back(game);
        game = PdnGame{};
        open = false;
    };
    bool lineStart = true;
    while (!r.done()) {
        const char c = r.peek();
        const int line = r.line;
        if (c == '%' && lineStart) {
            r.skipPast('\n');
            continue;
        }
        lineStart = c == '\n';
        if (std::isspace(static_cast<unsigned char>(c))) {
            r.next();
        } else if (c == '[') {
            if (open && !game.moves.empty()) finish("");
            PdnTag tag;
            if (!readTag(r, tag, error)) return false;
            game.tags.push_back(tag);
            open = true;
        } else if (c == '{') {
            if (!r.skipPast('}')) {
                error = lineError(line, "unterminated comment");
                return false;
            }
        } else if (c == '(') {
            if (!skipVariation(r)) {
                error = lineError(line, "unterminated variation");
                return false;
            }
        } else if (c == ';') {
            r.skipPast('\n');
            lineStart = true;
        } else if (c == ']' || c == '}' || c == ')') {
            error = lineError(line, std::string("unexpected '") + c + "'");
            return false;
        } else {
            std::string token;
            while (!r.done() && !isDelimiter(r.peek())) token += r.next();
            if (isResult(token)) {
                finish(token);
                continue;
            }
            size_t digits = 0;
            while (digits < token.size() && std::isdigit(static_cast<unsigned char>(token[digits])))
                ++digits;
            std::string_view move(token);
            if (digits > 0 && digits < token.size() && token[digits] == '.') {
                move.remove_prefix(digits);
                while (!move.empty() && move.front() == '.') move.remove_prefix(1);
            }
            while (!move.empty() && (move.back() == '!' || move.back() == '?'))
                move.remove_suffix(1);
            if (move.empty() || token.front() == '$') continue;
            if (parseMoveSquares(move).empty()) {
                error = lineError(line, "unexpected '" + token + "'");
                return false;
            }
            game.moves.push_back({std::string(move), line});
            open = true;
        }
    }
    if (open) finish("");
    return true;
}

const std::string* findTag(const PdnGame& game, std::string_view name) {
    for (const PdnTag& t : game.tags)
        if (t.name == name) return &t.value;
    return nullptr;
}

std::string moveLabel(const GameRecord& record, size_t ply) {
    const size_t number = (ply + record.startWhiteToMove) / 2 + 1;
    const bool white = (ply + record.startWhiteToMove) % 2 == 1;
    return "move " + std::to_string(number) + (white ? " (White)" : " (Black)");
}

bool replayPdnGame(const PdnGame& game, GameRecord& record, std::string& error) {
    Position start = initialPosition();
    int side = 0;
    if (const std::string* fen = findTag(game, "FEN")) {
        std::string why;
        if (!parseFen(*fen, start, side, why)) {
            record = newGame(initialPosition(), 0);
            error = "FEN tag \"" + *fen + "\": " + why;
            return false;
        }
    }
    record = newGame(start, side);
    for (const PdnMove& written : game.moves) {
        const std::vector<LegalMove> moves =
            legalMoves(currentPosition(record), sideToMove(record));
        const std::vector<size_t> matches = matchMove(moves, parseMoveSquares(written.text));
        if (matches.size() != 1) {
            error = moveLabel(record, record.moves.size()) +
                    (matches.empty() ? ": illegal move " : ": ambiguous move ") + written.text +
                    " (line " + std::to_string(written.line) + ")";
            return false;
        }
        playMove(record, moves[matches.front()]);
    }
    return true;
}

std::string writePdnGame(const std::vector<PdnTag>& tags, const GameRecord& record,
                         const std::string& comment, const std::string& result) {
    std::string text;
    for (const PdnTag& t : tags) text += "[" + t.name + " \"" + escaped(t.value) + "\"]\n";
    text += "[Result \"" + result + "\"]\n";
    const Position& start = record.positions.front();
    if (record.startWhiteToMove || !samePieces(start, initialPosition()))
        text += "[FEN \"" + positionText(start, record.startWhiteToMove) + "\"]\n";
    std::string line;
    auto put = [&](const std::string& word) {
        if (!line.empty() && line.size() + 1 + word.size() > LINE_WIDTH) {
            text += line + "\n";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
    };
    for (size_t ply = 0; ply < record.moves.size(); ++ply) {
        const size_t number = (ply + record.startWhiteToMove) / 2 + 1;
        const bool white = (ply + record.startWhiteToMove) % 2 == 1;
        if (!white)
            put(std::to_string(number) + ". " + record.moves[ply]);
        else if (ply == 0)
            put(std::to_string(number) + "... " + record.moves[ply]);
        else
            put(record.moves[ply]);
    }
    if (!comment.empty()) put("{" + comment + "}");
    put(result);
    return text + line + "\n\n";
}

std::string pdnDate() {
    const std::time_t now = std::time(nullptr);
    char date[16];
    std::strftime(date, sizeof date, "%Y.%m.%d", std::localtime(&now));
    return date;
}

}  // namespace tarnvel::cli
