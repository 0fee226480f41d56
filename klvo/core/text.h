// Byte-string helpers of the switcher's core (code page 932 text, no C library).
#pragma once

// Lead byte of a double-byte character in code page 932.
inline int IsLeadByte932(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
unsigned TextLength(const char *text);
int TextEqual(const char *a, const char *b);
// Copies text into buffer of size bytes; 0 (buffer untouched) when it does not fit.
int CopyText(char *buffer, unsigned size, const char *text);
// Appends text; 0 (buffer untouched) when the result would not fit in size bytes.
int AppendText(char *buffer, unsigned size, const char *text);
// Ends path just before its last backslash, stepping over double-byte
// characters so that a trail byte 0x5C is never taken for one. 0 if there is none.
int CutAtLastBackslash(char *path);
// Drops a lead byte left without its trail byte at the end of text (a text
// cut short by a byte count); 1 when one was dropped.
int DropBrokenTail(char *text);
