<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>FormText</name>
    <message>
        <source>the character &quot;%1&quot; (U+%2) at position %3 is not in ISO 8859-1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>GS1 data carries no ECI</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>tick GS1 or UTF-8, not both</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>there is no text</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>type the data to encode</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the GS1 data is not valid: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>tick UTF-8 to encode these characters</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>choose a larger size or Smallest square</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>use more symbols, or shorten the text</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>shorten the text, or spread it over several symbols (Structured Append)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 × %2%3, %4 of %5 data codewords: %6</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 symbols; the first %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Not encoded: %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Not encoded: %1: %2.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the bars and the background are too alike for a scanner (a contrast of %1 %, at least %2 % is needed)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>choose colours further apart</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>each symbol of a Structured Append message holds only a piece of the text</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>untick Text under the symbol</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>glyphrun::app::CAboutDialog</name>
    <message>
        <source>About Glyphrun</source>
        <translation>关于 Glyphrun</translation>
    </message>
    <message>
        <source>Glyphrun %1</source>
        <translation>Glyphrun %1 版</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Data Matrix ECC200 barcodes</source>
        <translation>Data Matrix ECC200 条码</translation>
    </message>
</context>
<context>
    <name>glyphrun::app::CMainDialog</name>
    <message>
        <source>Smallest (recommended)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Automatic (classic)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save the symbol</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PNG image (*.png)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>GIF image (*.gif)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>BMP image (*.bmp)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>SVG drawing (*.svg)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>EPS drawing (*.eps)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PDF document (*.pdf)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> px</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pixels a module in the picture and in PNG, GIF and BMP files</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bars</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Background</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Text under the symbol</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Print the data under the symbol for people to read, as GS1 and pharma labels require; in the preview, in Copy and in every saved file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Text</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Mode, size</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Encode</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Save...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Copy</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Print</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>More</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> dpi</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>screen</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The printer&apos;s resolution: every file gives a module whole dots of it</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> mm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>from the module size</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The printed side of a module (the X-dimension)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> modules</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1°</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Transparent background</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The page shows through (PNG, GIF, SVG and EPS; BMP has no transparency)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Resolution</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>X-dimension</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Quiet zone</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rotation</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>GS1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The text is GS1 element strings in brackets: (01)09506000134352(10)ABC</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>UTF-8</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Any character: the text is encoded as UTF-8 and announced by ECI 26</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>DMRE sizes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Offer the DMRE rectangles among the sizes (not every reader reads DMRE)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Reader programming</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A symbol that sets up the reader that reads it</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> symbols</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>one symbol</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Structured Append: the text spread over 2 to 16 symbols that a reader joins; Save writes one numbered file each</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The message&apos;s identification, which tells its symbols from another message&apos;s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>identification</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Structured Append</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Smallest square</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Smallest rectangle</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Smallest rectangle, DMRE too</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 × %2 (%3 data codewords, DMRE)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 × %2 (%3 data codewords)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>prints %1 mm a module, %2 dots at %3 dpi</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Not saved: %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Saved %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Saved %1 to %2.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copy</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;About Glyphrun...</source>
        <translation>关于 Glyphrun(&amp;A)...</translation>
    </message>
</context>
</TS>
