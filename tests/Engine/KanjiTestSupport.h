#pragma once

#include <string>

// iconv on a whole string, as the reference the converter is held against; throws nothing,
// returns false when iconv rejects the text.
bool iconvWhole(const char* to, const char* from, const std::string& in, std::string& out);
std::string iconvOrEmpty(const char* to, const char* from, const std::string& in);

// Converts text in blocks of the given size (0: one block) and returns everything the
// converter produced, finish included; code gets the code kind found.
std::string convertInBlocks(const std::string& bytes, std::size_t blockSize, int* code = nullptr,
                            int declared = 0);
