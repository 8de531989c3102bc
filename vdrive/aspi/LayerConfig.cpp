#include "vdrive/aspi/LayerConfig.h"

#include <algorithm>
#include <charconv>
#include <optional>

namespace vdrive::aspi {
namespace {

// One word of a line: a bare word, a quoted text, or key=value where the
// value may itself be quoted.
struct Token {
    std::string key;  // empty for a bare or quoted word
    std::string value;
    bool quoted = false;
};

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads a quoted text starting at the opening quote. Escapes: \" \\ \xHH
// (so that identity fields can carry zero bytes).
std::optional<std::string> ReadQuoted(std::string_view line, std::size_t& pos, std::string& error) {
    std::string out;
    ++pos;  // opening quote
    while (pos < line.size()) {
        const char c = line[pos++];
        if (c == '"') return out;
        if (c != '\\') {
            out.push_back(c);
            continue;
        }
        if (pos >= line.size()) break;
        const char e = line[pos++];
        if (e == '"' || e == '\\') {
            out.push_back(e);
        } else if (e == 'x' && pos + 1 < line.size() && HexDigit(line[pos]) >= 0 && HexDigit(line[pos + 1]) >= 0) {
            out.push_back(static_cast<char>(HexDigit(line[pos]) * 16 + HexDigit(line[pos + 1])));
            pos += 2;
        } else {
            // Any other backslash is kept, so Windows paths can be quoted as
            // they are written.
            out.push_back('\\');
            --pos;
        }
    }
    error = "unterminated quoted text";
    return std::nullopt;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::optional<std::vector<Token>> Tokenize(std::string_view line, std::string& error) {
    std::vector<Token> tokens;
    std::size_t pos = 0;
    for (;;) {
        while (pos < line.size() && IsSpace(line[pos])) ++pos;
        if (pos >= line.size() || line[pos] == '#') return tokens;
        Token t;
        if (line[pos] == '"') {
            auto text = ReadQuoted(line, pos, error);
            if (!text) return std::nullopt;
            t.value = std::move(*text);
            t.quoted = true;
        } else {
            const std::size_t start = pos;
            while (pos < line.size() && !IsSpace(line[pos]) && line[pos] != '=' && line[pos] != '"') ++pos;
            std::string word(line.substr(start, pos - start));
            if (pos < line.size() && line[pos] == '=') {
                ++pos;
                t.key = std::move(word);
                if (t.key.empty()) {
                    error = "value without a key";
                    return std::nullopt;
                }
                if (pos < line.size() && line[pos] == '"') {
                    auto text = ReadQuoted(line, pos, error);
                    if (!text) return std::nullopt;
                    t.value = std::move(*text);
                    t.quoted = true;
                } else {
                    const std::size_t vstart = pos;
                    while (pos < line.size() && !IsSpace(line[pos])) ++pos;
                    t.value = std::string(line.substr(vstart, pos - vstart));
                }
            } else {
                t.value = std::move(word);
            }
        }
        if (pos < line.size() && !IsSpace(line[pos])) {
            error = "words must be separated by blanks";
            return std::nullopt;
        }
        tokens.push_back(std::move(t));
    }
}

std::optional<std::uint64_t> Decimal(std::string_view s, std::uint64_t max) {
    std::uint64_t v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size() || v > max) return std::nullopt;
    return v;
}

// One or two hex digits, with or without 0x: "05", "0x25", "7".
std::optional<std::uint8_t> HexByte(std::string_view s) {
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) s.remove_prefix(2);
    if (s.empty() || s.size() > 2) return std::nullopt;
    int v = 0;
    for (char c : s) {
        if (HexDigit(c) < 0) return std::nullopt;
        v = v * 16 + HexDigit(c);
    }
    return static_cast<std::uint8_t>(v);
}

// "KK/AA/QQ": sense key, additional sense code and qualifier, in hex.
std::optional<Sense> SenseValue(std::string_view s) {
    const auto a = s.find('/');
    const auto b = a == std::string_view::npos ? a : s.find('/', a + 1);
    if (b == std::string_view::npos) return std::nullopt;
    auto key = HexByte(s.substr(0, a));
    auto asc = HexByte(s.substr(a + 1, b - a - 1));
    auto ascq = HexByte(s.substr(b + 1));
    if (!key || !asc || !ascq || *key > 0x0F) return std::nullopt;
    return Sense{*key, *asc, *ascq};
}

// An identity field: the text's bytes, padded with spaces; longer is an error.
template <std::size_t N>
bool FillField(std::array<std::uint8_t, N>& field, const Token& t) {
    if (!t.quoted || !t.key.empty() || t.value.size() > N) return false;
    field.fill(' ');
    // Bounded by N as well: GCC 12's Release build cannot see the check
    // above through std::copy and warns of an overflow.
    for (std::size_t i = 0; i < t.value.size() && i < N; ++i) field[i] = static_cast<std::uint8_t>(t.value[i]);
    return true;
}

class LineParser {
public:
    explicit LineParser(LayerConfig& config) : m_config(config) {}

    // Answers the reason the line is refused, or empty when it was taken.
    std::string Parse(const std::vector<Token>& tokens) {
        const std::string& verb = tokens[0].value;
        if (!tokens[0].key.empty() || tokens[0].quoted) return "expected a keyword";
        if (verb == "adapter") return Adapter(tokens);
        if (verb == "drive") return Drive(tokens);
        if (verb == "fault") return Fault(tokens);
        if (verb == "record") return Record(tokens);
        return "unknown keyword '" + verb + "'";
    }

private:
    static bool Bare(const Token& t) { return t.key.empty() && !t.quoted; }

    std::string Adapter(const std::vector<Token>& tokens) {
        if (tokens.size() < 2 || !Bare(tokens[1])) return "adapter needs its number";
        const auto id = Decimal(tokens[1].value, 255);
        if (!id || *id != m_config.adapters.size()) return "adapters must be numbered 0, 1, 2, ... in order";
        if (m_config.adapters.size() >= kMaxAdapters) return "too many adapters";
        AdapterConfig a;
        a.name = "VDRIVE HA " + std::to_string(*id);
        for (std::size_t i = 2; i < tokens.size(); ++i) {
            const Token& t = tokens[i];
            if (t.key == "targets") {
                const auto n = Decimal(t.value, 255);
                if (!n) return "bad targets";
                a.targets = static_cast<std::uint8_t>(*n);
            } else if (t.key == "align") {
                const auto b = HexByte(t.value);
                if (!b) return "bad align";
                a.alignLow = *b;
            } else if (t.key == "name") {
                if (t.value.size() > 16) return "name longer than 16 characters";
                a.name = t.value;
            } else {
                return "unknown adapter setting '" + (t.key.empty() ? t.value : t.key) + "'";
            }
        }
        m_config.adapters.push_back(std::move(a));
        return {};
    }

    // Reads "<adapter> <target>" at tokens[1..2].
    std::string Address(const std::vector<Token>& tokens, std::uint8_t& adapter, std::uint8_t& target) {
        if (tokens.size() < 3 || !Bare(tokens[1]) || !Bare(tokens[2])) return "needs adapter and target";
        const auto a = Decimal(tokens[1].value, 255);
        const auto t = Decimal(tokens[2].value, 255);
        if (!a || !t) return "bad adapter or target number";
        if (*a >= m_config.adapters.size()) return "no such adapter (declare it first)";
        const AdapterConfig& ac = m_config.adapters[*a];
        if (ac.targets != 0 && *t >= ac.targets) return "target beyond the adapter's targets";
        adapter = static_cast<std::uint8_t>(*a);
        target = static_cast<std::uint8_t>(*t);
        return {};
    }

    std::string Drive(const std::vector<Token>& tokens) {
        DriveSlotConfig slot;
        if (auto e = Address(tokens, slot.adapter, slot.target); !e.empty()) return e;
        if (m_config.FindDrive(slot.adapter, slot.target)) return "a drive is already at this address";
        if (tokens.size() < 6) return "drive needs vendor, product and revision texts";
        if (!FillField(slot.drive.vendor, tokens[3])) return "vendor must be a quoted text of at most 8 characters";
        if (!FillField(slot.drive.product, tokens[4])) return "product must be a quoted text of at most 16 characters";
        if (!FillField(slot.drive.revision, tokens[5])) return "revision must be a quoted text of at most 4 characters";
        for (std::size_t i = 6; i < tokens.size(); ++i) {
            const Token& t = tokens[i];
            if (t.key == "peripheral") {
                const auto b = HexByte(t.value);
                if (!b) return "bad peripheral";
                slot.drive.peripheral = *b;
            } else if (t.key == "after") {
                Revision r;
                if (!FillField(r, Token{"", t.value, t.quoted})) return "after must be a quoted text of at most 4 characters";
                slot.drive.revisionAfterSave = r;
            } else if (t.key == "notready") {
                const auto ms = Decimal(t.value, 24ull * 3600 * 1000);
                if (!ms) return "bad notready";
                slot.drive.notReadyMs = *ms;
            } else if (t.key == "buffer") {
                const auto n = Decimal(t.value, kMaxDownloadBufferSize);
                if (!n || *n < kHeaderLength) return "bad buffer size";
                slot.drive.downloadBufferSize = static_cast<std::uint32_t>(*n);
            } else if (t.key == "complete") {
                if (t.value == "auto") slot.completion = Completion::Auto;
                else if (t.value == "pending") slot.completion = Completion::Pending;
                else if (t.value == "immediate") slot.completion = Completion::Immediate;
                else return "complete must be auto, pending or immediate";
            } else if (t.key == "path") {
                if (t.value.empty()) return "path must not be empty";
                for (const auto& d : m_config.drives)
                    if (d.path == t.value) return "another drive already uses this path";
                slot.path = t.value;
            } else if (t.key == "letter") {
                const char c = t.value.size() == 1 ? static_cast<char>(t.value[0] | 0x20) : 0;
                if (c < 'a' || c > 'z') return "letter must be one letter a to z";
                for (const auto& d : m_config.drives)
                    if (d.letter == c) return "another drive already has this letter";
                slot.letter = c;
            } else {
                return "unknown drive setting '" + (t.key.empty() ? t.value : t.key) + "'";
            }
        }
        m_config.drives.push_back(std::move(slot));
        return {};
    }

    std::string Fault(const std::vector<Token>& tokens) {
        std::uint8_t adapter = 0, target = 0;
        if (auto e = Address(tokens, adapter, target); !e.empty()) return e;
        DriveSlotConfig* slot = nullptr;
        for (auto& d : m_config.drives)
            if (d.adapter == adapter && d.target == target) slot = &d;
        if (slot == nullptr) return "no drive at this address (declare it first)";
        if (tokens.size() < 4 || !Bare(tokens[3])) return "fault needs a kind";

        const std::string& kind = tokens[3].value;
        std::optional<Sense> sense;
        std::optional<std::uint64_t> n, offset, times, after, length;
        for (std::size_t i = 4; i < tokens.size(); ++i) {
            const Token& t = tokens[i];
            if (t.key == "sense" && !sense) {
                sense = SenseValue(t.value);
                if (!sense) return "bad sense (KK/AA/QQ in hex)";
            } else if (t.key == "n" && !n) {
                n = Decimal(t.value, UINT64_MAX);
                if (!n || *n == 0) return "bad n";
            } else if (t.key == "offset" && !offset) {
                offset = Decimal(t.value, 0xFFFFFF);
                if (!offset) return "bad offset";
            } else if (t.key == "times" && !times) {
                times = t.value == "always" ? FaultPlan::kAlways : Decimal(t.value, FaultPlan::kAlways);
                if (!times) return "bad times";
            } else if (t.key == "after" && !after) {
                after = Decimal(t.value, UINT64_MAX);
                if (!after) return "bad after";
            } else if (t.key == "length" && !length) {
                length = Decimal(t.value, 0xFFFFFF);
                if (!length) return "bad length";
            } else {
                return "unexpected '" + (t.key.empty() ? t.value : t.key) + "' in fault";
            }
        }

        FaultPlan& plan = slot->drive.faults;
        const Sense s = sense.value_or(sense::kInternalTargetFailure);
        if (length && kind != "vendor") return "length is for 'vendor' only";
        if (kind == "command" && n && !offset && !times && !after) {
            plan.FailCommand(*n, s);
        } else if (kind == "chunk" && offset && !n && !after) {
            plan.FailChunkAt(static_cast<std::uint32_t>(*offset), static_cast<std::uint32_t>(times.value_or(1)), s);
        } else if (kind == "inquiry" && !n && !offset && !times && !after) {
            plan.FailInquiry(s);
        } else if (kind == "header" && !n && !offset && !times && !after) {
            plan.FailHeader(s);
        } else if (kind == "save" && !n && !offset && !times && !after) {
            plan.FailSave(s);
        } else if (kind == "vanish" && after && !n && !offset && !times && !sense) {
            plan.VanishAfter(*after);
        } else if (kind == "vanish" && offset && !after && !n && !times && !sense) {
            plan.VanishAtChunk(static_cast<std::uint32_t>(*offset));
        } else if (kind == "lose" && n && !offset && !times && !after && !sense) {
            plan.LoseAnswer(*n);
        } else if (kind == "vendor" && length && !n && !offset && !times && !after && !sense) {
            plan.VendorAnswerLength(static_cast<std::uint32_t>(*length));
        } else {
            return "unknown fault kind or wrong settings for '" + kind + "'";
        }
        return {};
    }

    std::string Record(const std::vector<Token>& tokens) {
        if (tokens.size() != 2 || !tokens[1].key.empty() || tokens[1].value.empty()) return "record needs one path";
        if (!m_config.recordPath.empty()) return "record given twice";
        m_config.recordPath = tokens[1].value;
        return {};
    }

    LayerConfig& m_config;
};

}  // namespace

const DriveSlotConfig* LayerConfig::FindDrive(std::uint8_t adapter, std::uint8_t target) const {
    for (const auto& d : drives)
        if (d.adapter == adapter && d.target == target) return &d;
    return nullptr;
}

LayerConfig ParseLayerConfig(std::string_view text) {
    LayerConfig config;
    LineParser parser(config);
    std::size_t lineNumber = 0;
    while (!text.empty()) {
        const std::size_t eol = text.find('\n');
        const std::string_view line = text.substr(0, eol);
        text = eol == std::string_view::npos ? std::string_view() : text.substr(eol + 1);
        ++lineNumber;

        std::string error;
        auto tokens = Tokenize(line, error);
        if (tokens && tokens->empty()) continue;  // blank or comment
        if (tokens) error = parser.Parse(*tokens);
        if (!error.empty()) {
            std::string shown(line.substr(0, 200));
            if (!shown.empty() && shown.back() == '\r') shown.pop_back();
            config.notes.push_back("line " + std::to_string(lineNumber) + ": " + error + ": " + shown);
        }
    }
    return config;
}

}  // namespace vdrive::aspi
