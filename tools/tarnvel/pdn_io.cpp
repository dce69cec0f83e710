#include "pdn_io.h"

#include <cctype>
#include <ctime>

#include "interface/postext.h"

namespace tarnvel::cli {

namespace {

constexpr size_t LINE_WIDTH = 79;
// Deeper nesting is refused rather than read on the stack.
constexpr int MAX_VARIATION_DEPTH = 256;
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

// Variations may nest and hold comments; one before any move has nothing
// to replace and is skipped unread.
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

// The move a word of move text names ("11-15!", "12.11-15"), or "" for a
// move number or an annotation glyph ("12.", "1...", "$3").
std::string_view moveOfWord(std::string_view word) {
    size_t digits = 0;
    while (digits < word.size() && std::isdigit(static_cast<unsigned char>(word[digits])))
        ++digits;
    std::string_view move(word);
    if (digits > 0 && digits < word.size() && word[digits] == '.') {
        move.remove_prefix(digits);
        while (!move.empty() && move.front() == '.') move.remove_prefix(1);
    }
    while (!move.empty() && (move.back() == '!' || move.back() == '?')) move.remove_suffix(1);
    if (word.front() == '$') return {};
    return move;
}

std::string readWord(Reader& r) {
    std::string word;
    while (!r.done() && !isDelimiter(r.peek())) word += r.next();
    return word;
}

// Adds the move a word names to `line`; false with the reason when it is
// none. Move numbers and glyphs add nothing.
bool addMove(const std::string& word, int line, std::vector<PdnMove>& moves, std::string& error) {
    const std::string_view move = moveOfWord(word);
    if (move.empty()) return true;
    if (parseMoveSquares(move).empty()) {
        error = lineError(line, "unexpected '" + word + "'");
        return false;
    }
    moves.push_back({std::string(move), line, {}});
    return true;
}

bool readVariation(Reader& r, std::vector<PdnMove>& moves, int depth, std::string& error);

// At an opening parenthesis: the variation replaces the last move read.
bool readVariationAfter(Reader& r, std::vector<PdnMove>& moves, int depth, std::string& error) {
    const int line = r.line;
    if (depth >= MAX_VARIATION_DEPTH) {
        error = lineError(line, "variations nested too deep");
        return false;
    }
    bool read = false;
    if (moves.empty()) {
        read = skipVariation(r);
    } else {
        r.next();
        read = readVariation(r, moves.back().variations.emplace_back(), depth + 1, error);
    }
    if (!read && error.empty()) error = lineError(line, "unterminated variation");
    return read;
}

// From after '(' to its ')'; results inside are ignored.
bool readVariation(Reader& r, std::vector<PdnMove>& moves, int depth, std::string& error) {
    while (!r.done()) {
        const char c = r.peek();
        const int line = r.line;
        if (std::isspace(static_cast<unsigned char>(c))) {
            r.next();
        } else if (c == ')') {
            r.next();
            return true;
        } else if (c == '(') {
            if (!readVariationAfter(r, moves, depth, error)) return false;
        } else if (c == '{' || c == ';') {
            if (!r.skipPast(c == '{' ? '}' : '\n')) return false;
        } else if (c == '[' || c == ']' || c == '}') {
            error = lineError(line, std::string("unexpected '") + c + "'");
            return false;
        } else {
            const std::string word = readWord(r);
            if (!isResult(word) && !addMove(word, line, moves, error)) return false;
        }
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
            if (!readVariationAfter(r, game.moves, 0, error)) return false;
        } else if (c == ';') {
            r.skipPast('\n');
            lineStart = true;
        } else if (c == ']' || c == '}' || c == ')') {
            error = lineError(line, std::string("unexpected '") + c + "'");
            return false;
        } else {
            const std::string word = readWord(r);
            if (isResult(word)) {
                finish(word);
                continue;
            }
            const size_t before = game.moves.size();
            if (!addMove(word, line, game.moves, error)) return false;
            open = open || game.moves.size() > before;
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

namespace {

bool startOf(const PdnGame& game, Position& start, int& side, std::string& error) {
    start = initialPosition();
    side = 0;
    const std::string* fen = findTag(game, "FEN");
    std::string why;
    if (!fen || parseFen(*fen, start, side, why)) return true;
    start = initialPosition();
    side = 0;
    error = "FEN tag \"" + *fen + "\": " + why;
    return false;
}

// The legal move `written` names in p, the ply'th of a game that started
// with `startWhiteToMove`; false with the reason otherwise.
bool writtenMove(const Position& p, size_t ply, int startWhiteToMove, const PdnMove& written,
                 LegalMove& move, std::string& error) {
    const int side = static_cast<int>((ply + startWhiteToMove) % 2);
    const std::vector<LegalMove> moves = legalMoves(p, side);
    const std::vector<size_t> matches = matchMove(moves, parseMoveSquares(written.text));
    if (matches.size() == 1) {
        move = moves[matches.front()];
        return true;
    }
    error = moveLabel(GameRecord{{}, {}, startWhiteToMove}, ply) +
            (matches.empty() ? ": illegal move " : ": ambiguous move ") + written.text +
            " (line " + std::to_string(written.line) + ")";
    return false;
}

// Plays `line` from `node`, each move's variations from the node before it.
bool replayLine(const std::vector<PdnMove>& line, int node, GameTree& tree, std::string& error) {
    for (const PdnMove& written : line) {
        LegalMove move;
        if (!writtenMove(tree.nodes[node].position, plyOf(tree, node), tree.startWhiteToMove,
                         written, move, error))
            return false;
        const int next = addMove(tree, node, move);
        for (const std::vector<PdnMove>& variation : written.variations)
            if (!replayLine(variation, node, tree, error)) return false;
        node = next;
    }
    return true;
}

}  // namespace

bool replayPdnGame(const PdnGame& game, GameRecord& record, std::string& error) {
    Position start;
    int side = 0;
    const bool started = startOf(game, start, side, error);
    record = newGame(start, side);
    if (!started) return false;
    for (const PdnMove& written : game.moves) {
        LegalMove move;
        if (!writtenMove(currentPosition(record), record.moves.size(), side, written, move, error))
            return false;
        playMove(record, move);
    }
    return true;
}

bool replayPdnTree(const PdnGame& game, GameTree& tree, std::string& error) {
    Position start;
    int side = 0;
    const bool started = startOf(game, start, side, error);
    tree = newTree(start, side);
    return started && replayLine(game.moves, 0, tree, error);
}

namespace {

// Move text in lines of at most LINE_WIDTH characters.
struct PdnLines {
    std::string text, line;

    void put(const std::string& word) {
        if (!line.empty() && line.size() + 1 + word.size() > LINE_WIDTH) flush();
        line += (line.empty() ? "" : " ") + word;
    }
    void closeVariation() {
        if (line.size() + 1 > LINE_WIDTH) flush();
        line += ")";
    }
    void flush() {
        text += line + "\n";
        line.clear();
    }
};

// "12. 11-15" for Black; White's move alone, or "12... 23-19" where the
// move number is needed to read it (at a start or after a variation).
std::string moveWord(size_t ply, int startWhiteToMove, const std::string& move, bool numbered) {
    const std::string number = std::to_string((ply + startWhiteToMove) / 2 + 1);
    if ((ply + startWhiteToMove) % 2 == 0) return number + ". " + move;
    return numbered ? number + "... " + move : move;
}

void writeLine(const GameTree& tree, int node, bool numbered, PdnLines& out) {
    for (size_t ply = plyOf(tree, node); !tree.nodes[node].children.empty(); ++ply) {
        const std::vector<int>& children = tree.nodes[node].children;
        out.put(moveWord(ply, tree.startWhiteToMove, tree.nodes[children[0]].move, numbered));
        numbered = false;
        for (size_t v = 1; v < children.size(); ++v) {
            const std::string& move = tree.nodes[children[v]].move;
            out.put(std::string("(").append(moveWord(ply, tree.startWhiteToMove, move, true)));
            writeLine(tree, children[v], false, out);
            out.closeVariation();
            numbered = true;
        }
        node = children[0];
    }
}

}  // namespace

std::string writePdnGame(const std::vector<PdnTag>& tags, const GameRecord& record,
                         const std::string& comment, const std::string& result) {
    GameTree tree = newTree(record.positions.front(), record.startWhiteToMove);
    for (size_t ply = 0; ply < record.moves.size(); ++ply)
        addMove(tree, static_cast<int>(ply),
                LegalMove{{}, record.moves[ply], record.positions[ply + 1]});
    return writePdnGame(tags, tree, comment, result);
}

std::string writePdnGame(const std::vector<PdnTag>& tags, const GameTree& tree,
                         const std::string& comment, const std::string& result) {
    PdnLines out;
    for (const PdnTag& t : tags) out.text += "[" + t.name + " \"" + escaped(t.value) + "\"]\n";
    out.text += "[Result \"" + result + "\"]\n";
    const Position& start = tree.nodes.front().position;
    if (tree.startWhiteToMove || !samePieces(start, initialPosition()))
        out.text += "[FEN \"" + positionText(start, tree.startWhiteToMove) + "\"]\n";
    writeLine(tree, 0, true, out);
    if (!comment.empty()) out.put("{" + comment + "}");
    out.put(result);
    out.flush();
    return out.text + "\n";
}

std::string pdnDate() {
    const std::time_t now = std::time(nullptr);
    char date[16];
    std::strftime(date, sizeof date, "%Y.%m.%d", std::localtime(&now));
    return date;
}

}  // namespace tarnvel::cli
