// One symbol from bytes to a file: the work of a single input and of each
// line of a batch.
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "glyphrun/safe_file.h"
#include "glyphrun/symbol.h"
#include "glyphrun/text_input.h"
#include "glyphrun/write.h"
#include "options.h"
#include "report.h"

namespace glyphrun::cli {

using ByteSpan = std::span<const unsigned char>;

// The symbols of `input`: GS1 element strings checked and joined, UTF-8
// checked, anything else as it is; encoded with the options' scheme,
// size and meaning. One symbol, or with --structapp those of the message
// in order.
Status EncodeInput(ByteSpan input, const Options& options, std::vector<Symbol>& symbols);

// The symbol as printed: a module's pixels (dots) and millimetres, and the
// sides of the symbol with its quiet zone.
struct PrintSize {
    int32_t modulePixels;
    double moduleMillimetres, widthMillimetres, heightMillimetres;
};
PrintSize PrintSizeOf(const Symbol& symbol, const Options& options);

// One line on what was made, for --verbose: "22x22 (index 6), 23 of 30
// data codewords, ASCII 23; ISO 8859-1; label.png", with the symbol's
// place in a Structured Append message, its macro or reader programming.
std::string DescribeSymbol(const Symbol& symbol, const Options& options, const std::string& path);

// Writes each symbol to its path ("-": the console's output) in the options'
// format: with --structapp the symbols of one message, which are replaced
// all together or not at all. CliError::Place when the output's folder or
// file system failed. Lines to report once they are written (a replaced
// file whose owner could not be kept) are added to `notes`.
Status WriteSymbols(const std::vector<Symbol>& symbols, ByteSpan input, const Options& options,
                    const std::vector<std::string>& paths, std::vector<std::string>& notes, Console& console);

// The file of one symbol of `input` in the options' format and style,
// with its text under it; read back first with --verify.
Status DrawSymbol(const Symbol& symbol, ByteSpan input, const Options& options, std::string& file);

// --mkdir: the missing folders of the output `path` ("-" has none).
Status MakeOutputFolders(const std::string& path);

// How TEXT, -i and batch input are read, and how the options draw a symbol.
InputRule InputRuleOf(const Options& options);
Style StyleOf(const Options& options);

// --seg: each segment's text (its escapes read with --esc) converted to its
// ECI's character set.
Status SegmentBytes(const Options& options, std::vector<std::string>& bytes);

// The input as read, in `storage` and viewed by `input`: with --esc its
// escapes read; with --seg the segments' texts joined, each one's escapes
// read as SegmentBytes reads them, so that the report and the text under
// the symbol say what it holds.
Status ReadInputEscapes(ByteSpan& input, const Options& options, std::string& storage);

// Lines of text under the symbol of `input`: its data with --hri, then the
// caption's lines.
std::vector<std::string> LabelText(ByteSpan input, const Options& options);

// One PDF of labels (OneDocument), written safely: `fill` adds the labels
// to the document made for the options, and the file is kept only when it
// and the document's end succeed.
Status WriteLabelDocument(const Options& options, const std::function<Status(LabelDocument&)>& fill);

// The document's label of each symbol of `input`, added in order.
Status AddLabels(LabelDocument& document, const std::vector<Symbol>& symbols, ByteSpan input, const Options& options,
                 std::vector<LabelDocument::Placement>* placements = nullptr);

// Both for a line of a batch, written by the batch's run to the output it
// looked at, where memory that runs out is this input's failure; with
// --verbose the line on what was made is added to `notes` last.
Status EncodeAndWrite(ByteSpan input, const Options& options, const WriteRun& run, const OutputLook& output,
                      std::vector<std::string>& notes, std::optional<Symbol>& made);

}  // namespace glyphrun::cli
