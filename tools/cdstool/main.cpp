// cdstool: looks at and writes data-packet files from the command line.
//
//   cdstool json FILE    print the packet as its JSON form
//   cdstool write FILE   read the JSON form on standard input and write the packet file
//   cdstool show FILE    print the packet as a text table
//
// Exit status: 0 success, 1 a file could not be read, decoded or written, 2 wrong usage.

#include "DataPacket.h"
#include "PacketJson.h"

#include <QCommandLineParser>
#include <QFile>
#include <QJsonDocument>
#include <QJsonParseError>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr std::size_t kMaxColumnWidth = 40;  // characters; longer texts are shortened in `show`

const char kUsage[] =
    "usage: cdstool json FILE    print the packet file as JSON\n"
    "       cdstool write FILE   read JSON on standard input and write the packet file\n"
    "       cdstool show FILE    print the packet file as a text table\n"
    "       cdstool --help       print this help\n";

// A failure to report as "cdstool: FILE: message".
class ToolError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::string systemError(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

QByteArray readAll(std::FILE* stream) {
    QByteArray data;
    char buffer[65536];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, stream)) > 0) data.append(buffer, static_cast<qsizetype>(got));
    return data;
}

QByteArray readFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) throw ToolError(systemError("cannot open"));
    QByteArray data = readAll(file);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) throw ToolError("cannot read the file");
    return data;
}

// What is wrong with the input the packet reader refused. Input that is no JSON at all is
// described by the general JSON parser, whose error names the fault and its offset; the packet
// reader, which expects a packet from the first byte, would describe only the token it found.
std::string jsonProblem(const QByteArray& input, const EDatabaseError& refused) {
    if (input.trimmed().isEmpty()) return "no JSON: the input is empty";
    QJsonParseError parsed;
    QJsonDocument::fromJson(input, &parsed);
    // Limits of that parser are no fault of the input.
    if (parsed.error == QJsonParseError::NoError || parsed.error == QJsonParseError::DocumentTooLarge ||
        parsed.error == QJsonParseError::DeepNesting)
        return refused.what();
    return "not JSON: " + parsed.errorString().toStdString() + " at offset " + std::to_string(parsed.offset);
}

void writeStdout(const QByteArray& text) {
    if (std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stdout) !=
            static_cast<std::size_t>(text.size()) ||
        std::fflush(stdout) != 0) {
        throw ToolError(systemError("cannot write to standard output"));
    }
}

// ---------------------------------------------------------------------------------------------
// show

// Control characters would break the table's lines; they are shown as escapes.
std::string printable(const std::string& text) {
    std::string result;
    result.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            result += c;
            continue;
        }
        switch (c) {
        case '\n': result += "\\n"; break;
        case '\r': result += "\\r"; break;
        case '\t': result += "\\t"; break;
        default: {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02x", byte);
            result += escape;
        }
        }
    }
    return result;
}

std::string cellText(const TFieldValue& value) {
    char buffer[40];
    switch (value.index()) {
    case 0: return "<null>";
    case 1: return printable(std::get<1>(value));
    case 2: return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, std::get<2>(value)).ptr);
    case 3: return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, std::get<3>(value)).ptr);
    case 4: return std::get<4>(value) ? "true" : "false";
    case 5:
        if (std::optional<std::string> text = dateTimeToText(std::get<5>(value))) {
            (*text)[10] = ' ';
            return *text;
        }
        return std::to_string(std::get<5>(value).msecs) + " ms";
    }
    return {};
}

// Shortens a text to kMaxColumnWidth characters, the last one being "…".
std::string fitted(std::string text) {
    if (utf8Length(text) > kMaxColumnWidth) {
        utf8Truncate(text, kMaxColumnWidth - 1);
        text += "\xE2\x80\xA6";
    }
    return text;
}

void pad(std::string& line, std::size_t count) { line.append(count, ' '); }

std::string formatTable(const TPacketTable& table) {
    if (table.fields.empty()) return "(no fields)\n";
    const std::size_t columns = table.fields.size();
    std::vector<std::vector<std::string>> cells;  // header first
    cells.reserve(table.rows.size() + 1);
    std::vector<std::string>& header = cells.emplace_back();
    std::vector<bool> rightAligned(columns);
    for (std::size_t c = 0; c < columns; ++c) {
        header.push_back(fitted(printable(table.fields[c].name.toStdString())));
        rightAligned[c] = table.fields[c].type == TFieldType::ftInteger || table.fields[c].type == TFieldType::ftFloat;
    }
    for (const TRecord& row : table.rows) {
        std::vector<std::string>& line = cells.emplace_back();
        for (const TFieldValue& value : row) line.push_back(fitted(cellText(value)));
    }
    std::vector<std::size_t> widths(columns, 0);
    for (const std::vector<std::string>& line : cells) {
        for (std::size_t c = 0; c < columns; ++c) widths[c] = std::max(widths[c], utf8Length(line[c]));
    }

    std::string out;
    auto emitLine = [&](const std::vector<std::string>& line) {
        for (std::size_t c = 0; c < columns; ++c) {
            if (c != 0) out += "  ";
            const std::size_t gap = widths[c] - utf8Length(line[c]);
            if (rightAligned[c]) pad(out, gap);
            out += line[c];
            if (!rightAligned[c] && c + 1 < columns) pad(out, gap);
        }
        out += '\n';
    };
    emitLine(cells[0]);
    for (std::size_t c = 0; c < columns; ++c) {
        if (c != 0) out += "  ";
        out.append(widths[c], '-');
    }
    out += '\n';
    for (std::size_t r = 1; r < cells.size(); ++r) emitLine(cells[r]);
    out += "(" + std::to_string(table.rows.size()) + (table.rows.size() == 1 ? " row)\n" : " rows)\n");
    return out;
}

// ---------------------------------------------------------------------------------------------

int run(const std::string& verb, const QString& fileName) {
    const std::string path = QFile::encodeName(fileName).toStdString();
    try {
        if (verb == "json") {
            QByteArray json = packetToJson(decodePacket(readFile(path)));
            json += '\n';
            writeStdout(json);
        } else if (verb == "show") {
            writeStdout(QByteArray::fromStdString(formatTable(decodePacket(readFile(path)))));
        } else {  // write
            const QByteArray input = readAll(stdin);
            if (std::ferror(stdin)) throw ToolError("cannot read standard input");
            TPacketTable table;
            try {
                table = packetFromJson(input);
            } catch (const EDatabaseError& error) {
                throw ToolError("standard input: " + jsonProblem(input, error));
            }
            const QString problem = savePacketFile(fileName, encodePacket(table));
            if (!problem.isEmpty()) throw ToolError("cannot write the file: " + problem.toStdString());
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "cdstool: %s: %s\n", path.c_str(), error.what());
        return kExitFailure;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QFile::decodeName(argv[i]);
    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    parser.addOption(help);
    // FILE may begin with '-': nothing after the command is an option.
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "cdstool: %s\n%s", qPrintable(parser.errorText()), kUsage);
        return kExitUsage;
    }
    if (parser.isSet(help)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    const QStringList args = parser.positionalArguments();
    if (args.empty()) {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    const std::string verb = QFile::encodeName(args[0]).toStdString();
    if (verb != "json" && verb != "write" && verb != "show") {
        std::fprintf(stderr, "cdstool: unknown command '%s'\n%s", verb.c_str(), kUsage);
        return kExitUsage;
    }
    if (args.size() != 2) {
        std::fprintf(stderr, "cdstool: '%s' takes exactly one FILE\n%s", verb.c_str(), kUsage);
        return kExitUsage;
    }
    return run(verb, args[1]);
}
