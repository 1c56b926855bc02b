#include "symbol.h"

#include <cstdio>
#include <filesystem>
#include <random>

#include "glyphrun/safe_file.h"
#include "glyphrun/text_input.h"
#include "glyphrun/write.h"
#include "text.h"
#include "verify.h"

namespace glyphrun::cli {
// How TEXT, -i and batch input are read.
InputRule InputRuleOf(const Options& options) {
    InputRule rule{options.gs1, options.binary, options.utf8 ? kUtf8Eci : options.eci};
    rule.gs1Rules.checkDigitsAndDates = !options.gs1NoCheck;
    rule.gs1Gs = options.gs1Gs;
    return rule;
}

// The margin stays in pixels: --margin may give one that is not a whole
// number of modules, and --xdim has already made the module's pixels.
Style StyleOf(const Options& options) {
    Style style;
    style.moduleSize = options.moduleSize;
    style.marginPixels = options.margin;
    style.foreground = options.foreground;
    style.background = options.background;
    style.backgroundAlpha = options.transparentBackground ? 0 : 255;
    style.dpi = options.dpi.value_or(96);
    if (IsVector(options.format)) style.xdimMillimetres = options.xdimMillimetres;
    style.wholeDots = options.dpi.has_value();
    style.rotation = options.rotate;
    style.interlace = options.pngInterlace;
    style.gifCodes = options.gifCodes;
    style.inks = options.inks;
    if (options.page && !OneDocument(options)) {
        style.pageWidth = options.page->width;
        style.pageHeight = options.page->height;
    }
    style.fontSize = options.fontSize;
    style.fontFile = options.fontFile;
    return style;
}

namespace {

// One label a page (--page, or each its own size), or a sheet of them.
Sheet SheetOf(const Options& options) {
    Sheet sheet;
    if (const std::optional<PageSize>& page = options.sheet ? options.sheet : options.page) {
        sheet.pageWidth = page->width;
        sheet.pageHeight = page->height;
    }
    sheet.columns = options.gridColumns;
    sheet.rows = options.gridRows;
    sheet.margin = options.sheetMargin * kPointsPerMillimetre;
    sheet.gap = options.gap * kPointsPerMillimetre;
    return sheet;
}

}  // namespace

Status DrawSymbol(const Symbol& symbol, ByteSpan input, const Options& options, std::string& file) {
    // The symbols of a message are verified together, by the caller.
    if (options.verify && !options.structuredAppend)
        if (Status verified = Verify({&symbol, 1}, input, options); !verified) return verified;
    Style style = StyleOf(options);
    style.text = LabelText(input, options);
    Result<std::string> drawn = WriteSymbol(symbol, options.format, style);
    if (!drawn) return Failure(drawn.reason());
    file = std::move(drawn).value();
    return {};
}

namespace {

// The command line's failure for a file write's: CliError::Place when
// every later file in that place would meet it too.
Status WriteFailure(const Status& written) {
    return Status::Failed(written.Is(FileWriteError::Place) ? CliError::Place : CliError::Failed, written.reason());
}

Status Save(const std::string& path, const std::string& file, Warnings& warnings, Console& console) {
    if (path == "-") {
        console.WriteOut(file);
        return console.FlushOut();
    }
    const Status written = WriteFileSafely(path, std::string_view(file), &warnings);
    return written ? Status{} : WriteFailure(written);
}

// The symbols of one message: each drawn and written to its temporary file
// in turn, so that one picture at a time is in memory, then all put in place.
Status SaveSet(const std::vector<Symbol>& symbols, ByteSpan input, const Options& options,
               const std::vector<std::string>& paths, Warnings& warnings) {
    if (options.verify)
        if (Status verified = Verify(symbols, input, options); !verified) return verified;
    FileSet set;
    for (size_t i = 0; i < symbols.size(); ++i) {
        std::string file;
        if (const Status drawn = DrawSymbol(symbols[i], input, options, file); !drawn) return drawn;
        if (const Status written = set.Add(paths[i], file, &warnings); !written) return WriteFailure(written);
    }
    const Status written = set.PutInPlace();
    return written ? Status{} : WriteFailure(written);
}

// The bytes to encode and what they mean. Text is UTF-8 unless --binary
// says the bytes stand as they are; --eci (and --utf8, which is --eci 26)
// converts it to that ECI's character set.
Status PrepareInput(ByteSpan input, const Options& options, std::string& bytes, DataMeaning& meaning) {
    const InputRule rule = InputRuleOf(options);
    const Status prepared =
        glyphrun::PrepareInput({reinterpret_cast<const char*>(input.data()), input.size()}, rule, bytes, meaning);
    if (prepared) return {};
    if (prepared.Is(InputError::NotUtf8) || prepared.Is(InputError::NoCharset))
        return Failure(prepared.reason() + " (--binary encodes bytes as they are)");
    return Failure(prepared.reason());
}

// Two symbols of different messages with the same identification would
// be joined by a reader that sees them together.
std::pair<uint8_t, uint8_t> RandomFileId() {
    std::random_device seed;
    std::uniform_int_distribution<int> id(1, 254);
    return {static_cast<uint8_t>(id(seed)), static_cast<uint8_t>(id(seed))};
}

// The lines a write that worked has to tell, in the form they are reported.
void AddWarnings(const Warnings& warnings, std::vector<std::string>& notes) {
    for (const std::string& warning : warnings) notes.push_back("warning: " + warning);
}

// "module 0.508 mm (6 dots at 300 dpi; 0.500 mm asked), symbol 11.18 ×
// 11.18 mm with its quiet zone".
std::string PrintedSize(const Symbol& symbol, const Options& options) {
    const PrintSize size = PrintSizeOf(symbol, options);
    char text[200];
    int used = std::snprintf(text, sizeof text, "module %.3f mm", size.moduleMillimetres);
    if (options.dpi)
        used += std::snprintf(text + used, sizeof text - static_cast<size_t>(used), " (%d dots at %d dpi%s",
                              size.modulePixels, *options.dpi, options.xdimMillimetres ? "; " : ")");
    if (options.dpi && options.xdimMillimetres)
        used += std::snprintf(text + used, sizeof text - static_cast<size_t>(used), "%.3f mm asked)",
                              *options.xdimMillimetres);
    std::snprintf(text + used, sizeof text - static_cast<size_t>(used),
                  ", symbol %.2f \u00d7 %.2f mm with its quiet zone", size.widthMillimetres, size.heightMillimetres);
    return text;
}

// --eci auto: the text under each ECI whose character set holds it, and the
// smallest symbol kept; the readers' default (ISO 8859-1 with no ECI, or
// UTF-8 under ECI 26 for other text) comes first and so wins a tie, then
// UTF-8, then the others in the register's order. Under a fixed size one
// that fits is enough; when none does, the default's failure is told, since
// it is the set the text was typed for.
Status EncodeUnderSmallestEci(ByteSpan input, const Options& options, std::vector<Symbol>& symbols) {
    Options each = options;
    each.eciAuto = false;
    each.eci.reset();
    const Status first = EncodeInput(input, each, symbols);
    const auto area = [](const Symbol& symbol) { return symbol.rows() * symbol.cols(); };
    std::vector<int32_t> ecis = TextEcis();
    std::stable_partition(ecis.begin(), ecis.end(), [](int32_t eci) { return eci == kUtf8Eci; });
    for (const int32_t eci : ecis) {
        each.eci = eci;
        std::vector<Symbol> tried;
        if (EncodeInput(input, each, tried) && (symbols.empty() || area(tried.front()) < area(symbols.front())))
            symbols = std::move(tried);
    }
    return symbols.empty() ? first : Status{};
}

// A segment's text as typed, its escapes read with --esc.
Status SegmentText(const Options& options, int32_t eci, const std::string& typed, std::string& text) {
    if (!options.escapes) {
        text = typed;
        return {};
    }
    if (Status read = ReadEscapes(typed, text); !read)
        return Failure("--seg " + std::to_string(eci) + ": " + read.reason());
    return {};
}

}  // namespace

Status MakeOutputFolders(const std::string& path) {
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (path == "-" || folder.empty()) return {};
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) return Failure("cannot make the folder " + Printable(folder.string()) + ": " + error.message());
    return {};
}

Status SegmentBytes(const Options& options, std::vector<std::string>& bytes) {
    for (const auto& [eci, typed] : options.segments) {
        std::string text;
        if (Status read = SegmentText(options, eci, typed, text); !read) return read;
        bytes.emplace_back();
        if (Status converted = ConvertToEci(text, eci, bytes.back()); !converted)
            return Failure("--seg " + std::to_string(eci) + ": " + converted.reason());
    }
    return {};
}

Status EncodeInput(ByteSpan input, const Options& options, std::vector<Symbol>& symbols) {
    if (options.eciAuto) return EncodeUnderSmallestEci(input, options, symbols);
    if (!options.segments.empty()) {
        std::vector<std::string> bytes;
        if (Status converted = SegmentBytes(options, bytes); !converted) return converted;
        std::vector<Segment> segments;
        for (size_t i = 0; i < bytes.size(); ++i)
            segments.push_back(
                {options.segments[i].first, {reinterpret_cast<const uint8_t*>(bytes[i].data()), bytes[i].size()}});
        EncodeOptions encode{options.scheme, options.size};
        encode.dmre = options.dmre;
        encode.iso144 = options.iso144;
        Result<Symbol> result = EncodeSegments(segments, encode);
        if (!result) return Failure(result.reason());
        symbols.push_back(std::move(result).value());
        return {};
    }
    std::string bytes;
    DataMeaning meaning;
    if (Status prepared = PrepareInput(input, options, bytes, meaning); !prepared) return prepared;
    meaning.readerInit = options.readerInit;
    EncodeOptions encode{options.scheme, options.size, meaning, options.detectMacro};
    encode.dmre = options.dmre;
    encode.iso144 = options.iso144;
    encode.lenientEnd = options.lenientEnd;
    const std::span data(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    if (!options.structuredAppend) {
        Result<Symbol> result = Encode(data, encode);
        if (!result) return Failure(result.reason());
        symbols.push_back(std::move(result).value());
        return {};
    }
    const auto [fileId1, fileId2] = options.fileId.value_or(RandomFileId());
    Result<std::vector<Symbol>> result =
        EncodeStructuredAppend(data, encode, {*options.structuredAppend, fileId1, fileId2});
    if (!result) return Failure(result.reason());
    symbols = std::move(result).value();
    return {};
}

Status WriteSymbols(const std::vector<Symbol>& symbols, ByteSpan input, const Options& options,
                    const std::vector<std::string>& paths, std::vector<std::string>& notes, Console& console) {
    Warnings warnings;
    Status written;
    if (options.structuredAppend) {
        written = SaveSet(symbols, input, options, paths, warnings);
    } else {
        std::string file;
        written = DrawSymbol(symbols.front(), input, options, file);
        if (written) written = Save(paths.front(), file, warnings, console);
    }
    if (written) AddWarnings(warnings, notes);
    return written;
}

Status EncodeAndWrite(ByteSpan input, const Options& options, const WriteRun& run, const OutputLook& output,
                      std::vector<std::string>& notes, std::optional<Symbol>& made) {
    return FailOnOutOfMemory([&]() -> Status {
        std::vector<Symbol> symbols;  // one: a batch has no Structured Append
        if (Status encoded = EncodeInput(input, options, symbols); !encoded) return encoded;
        std::string file;
        if (Status drawn = DrawSymbol(symbols.front(), input, options, file); !drawn) return drawn;
        Warnings warnings;
        if (const Status written = run.Write(output, file, &warnings); !written) return WriteFailure(written);
        AddWarnings(warnings, notes);
        if (options.verbose) notes.push_back(DescribeSymbol(symbols.front(), options, output.path));
        made = std::move(symbols.front());
        return {};
    });
}

Status ReadInputEscapes(ByteSpan& input, const Options& options, std::string& storage) {
    if (!options.segments.empty()) {
        storage.clear();
        for (const auto& [eci, typed] : options.segments) {
            std::string text;
            if (Status read = SegmentText(options, eci, typed, text); !read) return read;
            storage += text;
        }
    } else if (!options.escapes) {
        return {};
    } else if (Status read =
                   ReadEscapes({reinterpret_cast<const char*>(input.data()), input.size()}, storage, options.gs1);
               !read) {
        return Failure(read.reason());
    }
    input = {reinterpret_cast<const unsigned char*>(storage.data()), storage.size()};
    return {};
}

std::vector<std::string> LabelText(ByteSpan input, const Options& options) {
    std::vector<std::string> lines;
    if (options.hri)
        lines.push_back(
            HumanReadable({reinterpret_cast<const char*>(input.data()), input.size()}, InputRuleOf(options)));
    if (!options.caption) return lines;
    // A caption of several lines (a CSV field may hold line ends) is as many
    // lines of text.
    std::string_view caption = *options.caption;
    for (size_t end; (end = caption.find('\n')) != std::string_view::npos; caption.remove_prefix(end + 1)) {
        const std::string_view line = caption.substr(0, end);
        lines.emplace_back(line.ends_with('\r') ? line.substr(0, line.size() - 1) : line);
    }
    lines.emplace_back(caption);
    return lines;
}

Status WriteLabelDocument(const Options& options, const std::function<Status(LabelDocument&)>& fill) {
    Status outcome;
    const auto write = [&](FILE* file) {
        // Pages go out in large writes rather than stdio's 4 KiB ones.
        std::setvbuf(file, nullptr, _IOFBF, 1 << 20);
        Result<LabelDocument> document =
            LabelDocument::Make(StyleOf(options), SheetOf(options), [file](std::string_view bytes) {
                return std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
            });
        if (!document) {
            outcome = Failure(document.reason());
            return false;
        }
        outcome = fill(document.value());
        if (outcome) {
            const Status finished = document.value().Finish();
            if (!finished) outcome = Failure(finished.reason());
        }
        return static_cast<bool>(outcome);
    };
    const Status written = WriteFileSafely(*options.outputPath, write);
    // The system's own reason (a full disk) before what it made the labels meet.
    if (!written && !written.Is(FileWriteError::Writer)) return WriteFailure(written);
    if (!outcome) return outcome;
    return written ? Status{} : WriteFailure(written);
}

Status AddLabels(LabelDocument& document, const std::vector<Symbol>& symbols, ByteSpan input, const Options& options,
                 std::vector<LabelDocument::Placement>* placements) {
    if (options.verify)
        if (Status verified = Verify(symbols, input, options); !verified) return verified;
    for (const Symbol& symbol : symbols) {
        const Result<PdfLabel> label = document.Draw(symbol, LabelText(input, options));
        if (!label) return Failure(label.reason());
        LabelDocument::Placement where;
        if (Status added = document.Add(label.value(), &where); !added) return Failure(added.reason());
        if (placements) placements->push_back(where);
    }
    return {};
}

PrintSize PrintSizeOf(const Symbol& symbol, const Options& options) {
    const Style style = StyleOf(options);
    const double module = ModuleMillimetres(style, options.format);
    const bool turned = options.rotate == 90 || options.rotate == 270;
    const int32_t cols = turned ? symbol.rows() : symbol.cols(), rows = turned ? symbol.cols() : symbol.rows();
    // Vector files round a quiet zone in pixels up to whole modules of --module pixels.
    const double quietZone = IsVector(options.format)
                                 ? module * ((options.margin + options.moduleSize - 1) / options.moduleSize)
                                 : options.margin * 25.4 / style.dpi;
    return {ModulePixels(style), module, cols * module + 2 * quietZone, rows * module + 2 * quietZone};
}

std::string DescribeSymbol(const Symbol& symbol, const Options& options, const std::string& path) {
    const DataMeaning& meaning = symbol.meaning();
    std::string line = std::to_string(symbol.rows()) + "x" + std::to_string(symbol.cols()) +
                       (IsDmreSize(symbol.sizeIndex()) ? " DMRE" : "") + " (index " +
                       std::to_string(symbol.sizeIndex()) + "), " + std::to_string(symbol.dataCodewords()) + " of " +
                       std::to_string(symbol.capacity()) + " data codewords, ";
    const std::vector<SchemeRun> runs = SchemeRunsOf(symbol);
    for (size_t i = 0; i < runs.size(); ++i)
        line += std::string(i ? ", " : "") + SchemeName(runs[i].scheme) + " " + std::to_string(runs[i].codewords);
    if (meaning.gs1)
        line += "; GS1";
    else if (meaning.eciGiven)
        line +=
            "; ECI " + std::to_string(meaning.eci) +
            (CharsetOfEci(meaning.eci) && !options.binary ? std::string(" (") + CharsetOfEci(meaning.eci) + ")" : "");
    else
        line += options.binary ? "; bytes as given" : "; ISO 8859-1";
    if (meaning.macro) line += "; Macro 0" + std::to_string(meaning.macro);
    if (meaning.readerInit) line += "; reader programming";
    if (const StructuredAppend& append = meaning.append; append.count)
        line += "; symbol " + std::to_string(append.index + 1) + " of " + std::to_string(append.count) + ", file id " +
                std::to_string(append.fileId1) + "," + std::to_string(append.fileId2);
    if (options.dpi || options.xdimMillimetres) line += "; " + PrintedSize(symbol, options);
    return line + "; " + (path == "-" ? "standard output" : Printable(path));
}

}  // namespace glyphrun::cli
