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
    const char* skipped = "";     // Refused: the value the editor leaves out
    const char* editorLine = "";  // RefusedEditorMisreads: that value as DumpTree writes it
    std::uint32_t codePage = 0;   // CodePageText: the code page `expected` is read in
};

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
        {CorpusCase::Refused, "byte_split_across_continuation.reg", "without a ','", 4, "v"},
        {CorpusCase::Refused, "comma_after_continuation.reg", "would skip this value", 5, "v"},
        {CorpusCase::Refused, "continuation_hash_line.reg", "would skip this value", 5, "v"},
        {CorpusCase::Refused, "continuation_ended_by_key.reg", "would skip this value", 5, "v"},
        {CorpusCase::Refused, "nul_in_quoted_string.reg", "would skip this line", 4, "v"},
        {CorpusCase::Refused, "win31.reg", "Windows 3.1", 1, ""},
        {CorpusCase::RefusedEditorMisreads, "v5_8bit_utf16_text.reg", "as UTF-16 bytes in an 8-bit file", 4, "v",
         "  \"v\" type 2: 25 00 41 00 25 00 00 00\n"},
        {CorpusCase::EditorCrashes, "hex1_odd_bytes_utf16.reg", "odd number of bytes"},
    };
    return cases;
}

}  // namespace qm::testing
