// The registry files of tests/data/regfile_corpus and what each one does:
// every file writes below HKEY_CURRENT_USER\Software\QuillmereCorpus. The
// native test checks our reader against these; the Windows test imports each
// file with the registry editor and compares.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qm::testing {

constexpr const char* kCorpusKey = "Software\\QuillmereCorpus";

struct CorpusCase {
    enum Kind {
        Imported,           // the editor and our reader store the same registry
        // The editor skips some lines and imports the rest: our reader refuses
        // the file (writing it back would lose those lines) unless asked to
        // read it as the editor does, listing `skippedLines`; `expected` is
        // what the editor imports.
        ImportedInPart,
        Refused,            // our reader refuses the file; the editor skips `skipped`
        EditorIgnoresFile,  // the editor imports nothing; our reader reads it
        EditorCrashes,      // refused by us; the editor fails part way
        // 8-bit text beyond ASCII, read in a code page: `expected` is the
        // registry read in `codePage` (which the native reader chooses by
        // itself from the file's bytes); the editor and the Windows build
        // read it in the machine's code page, to the same registry.
        CodePageText,
        // Refused by us; the editor stores `skipped` with the bytes of `editorLine`.
        RefusedEditorMisreads,
    } kind;
    const char* file;
    // Imported, EditorIgnoresFile, CodePageText: the registry below the corpus key, as
    // DumpTree writes it. Refused: the words the error holds.
    std::string expected;
    int line = 0;                 // Refused: the line the error names
    const char* skipped = "";     // Refused: the value the editor leaves out; ImportedInPart: the refusal's words
    const char* editorLine = "";  // RefusedEditorMisreads: that value as DumpTree writes it
    std::uint32_t codePage = 0;   // CodePageText: the code page `expected` is read in
    std::vector<int> skippedLines = {};  // ImportedInPart: the lines the editor skips
};

// A file the editor imports in part: `words` are in the refusal, which names
// the first of `lines`.
inline CorpusCase InPart(const char* file, const std::string& expected, const char* words, std::vector<int> lines) {
    return CorpusCase{CorpusCase::ImportedInPart, file, expected, lines.front(), words, "", 0, std::move(lines)};
}

inline const std::vector<CorpusCase>& CorpusCases() {
    static const std::string k = "[HKEY_CURRENT_USER\\Software\\QuillmereCorpus]\n";
    static const std::vector<CorpusCase> cases = {
        {CorpusCase::Imported, "blanks_before_header.reg", k + "  \"v\" type 1: 78 00\n"},
        {CorpusCase::EditorIgnoresFile, "blank_lines_before_header.reg", k + "  \"v\" type 1: 78 00\n"},
        {CorpusCase::Imported, "hex_backslash_at_end_of_file.reg", k + "  \"v\" type 3: 01 02\n"},
        {CorpusCase::Imported, "hex_backslash_then_newline_at_end.reg", k + "  \"v\" type 3: 01 02\n"},
        {CorpusCase::Imported, "continuation_blank_line.reg",
         k + "  \"v\" type 3: 01 02\n  \"w\" type 1: 78 00\n"},
        {CorpusCase::Imported, "continuation_whitespace_line.reg",
         k + "  \"v\" type 3: 01 02\n  \"w\" type 1: 78 00\n"},
        {CorpusCase::Imported, "continuation_comment_line.reg",
         k + "  \"v\" type 3: 01 02\n  \"w\" type 1: 78 00\n"},
        {CorpusCase::Imported, "continuation_ended_by_comment_at_eof.reg", k + "  \"v\" type 3: 01 02\n"},
        {CorpusCase::Imported, "delete_value_comment.reg", k},
        {CorpusCase::Imported, "hex1_no_terminator_utf16.reg",
         k + "  \"v\" type 1: 41 42 00\n  \"e\" type 1:\n"},
        {CorpusCase::Imported, "hex2_no_terminator_utf16.reg",
         k + "  \"v\" type 2: 41 42 00\n  \"w\" type 2: 41 00\n"},
        {CorpusCase::Imported, "hex7_no_terminator_utf16.reg",
         k + "  \"v\" type 7: 41 00 42 00\n  \"w\" type 7: 41 00 00\n"},
        {CorpusCase::Imported, "hex_text_no_terminator_regedit4.reg",
         k + "  \"s\" type 1: 41 42 00\n  \"e\" type 2: 41 42 00\n  \"m\" type 7: 41 00 42 00\n"
             "  \"z\" type 1: 41 00\n"},
        {CorpusCase::Imported, "v5_8bit_hex2.reg",
         k + "  \"e\" type 2: 25 41 25 00\n  \"m\" type 7: 61 00 62 00 00\n  \"s\" type 1: 61 62 00\n"},
        {CorpusCase::Imported, "regedit4_in_utf16.reg", k + "  \"v\" type 2: 41 00\n"},
        {CorpusCase::Imported, "key_case_kept.reg",
         k + "[HKEY_CURRENT_USER\\Software\\QuillmereCorpus\\MixedCase]\n"
             "[HKEY_CURRENT_USER\\Software\\QuillmereCorpus\\MixedCase\\lower]\n"
             "  \"v\" type 4: 0a 00 00 00\n"},
        // 8-bit text in the code page, whatever the header says.
        {CorpusCase::CodePageText, "v5_8bit_text.reg", k + "  \"v\" type 1: 63 61 66 c3 a9 00\n", 0, "", "", 65001},
        {CorpusCase::CodePageText, "v5_8bit_cp1252.reg",
         k + "[HKEY_CURRENT_USER\\Software\\QuillmereCorpus\\Caf\xC3\xA9 Soft]\n"
             "  \"v\" type 1: 63 61 66 c3 a9 20 e2 82 ac 00\n",
         0, "", "", 1252},
        // Valid forms: text of an odd number of bytes in a UTF-16 file ends with
        // its last whole character (completed when that is not zero); hex data
        // may start on the line after its type.
        {CorpusCase::Imported, "hex_text_odd_bytes_utf16.reg",
         k + "  \"e\" type 2: 25 41 25 00\n  \"s\" type 1: 41 42 00\n  \"m\" type 7: 61 00 62 00 00\n"
             "  \"p\" type 2: 25 50 00\n"},
        {CorpusCase::Imported, "hex2_bytes_on_continuation_utf16.reg",
         k + "  \"Wine16\" type 2: 25 48 4f 4d 45 25 00\n  \"b\" type 3: 01 02\n"},
        {CorpusCase::Imported, "hex2_bytes_on_continuation_regedit4.reg", k + "  \"v\" type 2: 25 48 00\n"},
        // Lines the editor skips. A broken continuation line is taken with its
        // value; a line it cannot read as a key or value is passed over.
        InPart("byte_split_across_continuation.reg", k + "  \"w\" type 1: 78 00\n", "without a ','", {4, 5}),
        InPart("comma_after_continuation.reg", k + "  \"w\" type 1: 78 00\n", "skips the value and this line", {5}),
        InPart("continuation_hash_line.reg", k + "  \"w\" type 1: 78 00\n", "skips the value and this line", {5, 6}),
        // The key line that broke the continuation is not opened: "w" goes
        // to the key above.
        InPart("continuation_ended_by_key.reg", k + "  \"w\" type 1: 78 00\n", "skips the value and this line", {5}),
        // The editor stops at \0 in a string: what follows is not imported.
        InPart("nul_in_quoted_string.reg", k, "stops importing the file", {4}),
        // "[ -KEY]" is passed over, and the key above stays open.
        InPart("key_blank_before_minus.reg",
               k + "  \"v\" type 1: 78 00\n  \"w\" type 1: 79 00\n"
                   "[HKEY_CURRENT_USER\\Software\\QuillmereCorpus\\Gone]\n  \"g\" type 1: 31 00\n",
               "blank after '['", {9}),
        InPart("delete_value_with_text.reg", k + "  \"v\" type 1: 78 00\n", "deletes nothing", {6}),
        InPart("lines_the_editor_skips.reg", k + "  \"v\" type 1: 78 00\n  \"w\" type 1: 79 00\n",
               "outside any [key]", {3, 5, 7, 10, 11, 12}),
        {CorpusCase::Refused, "win31.reg", "Windows 3.1", 1, ""},
        {CorpusCase::RefusedEditorMisreads, "v5_8bit_utf16_text.reg", "as UTF-16 bytes in an 8-bit file", 4, "v",
         "  \"v\" type 2: 25 00 41 00 25 00 00 00\n"},
        {CorpusCase::EditorCrashes, "hex1_odd_bytes_utf16.reg", "odd number of bytes"},
    };
    return cases;
}

}  // namespace qm::testing
