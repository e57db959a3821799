#pragma once
// Decryption of password-protected workbook streams (FILEPASS): XOR obfuscation, RC4 and
// CryptoAPI RC4. Only the built-in default password is tried; a workbook protected with
// any other password is refused.

#include <QByteArray>
#include <cstdint>

namespace tovera::crypto {

enum class Outcome {
    Decrypted,     // the stream now holds plain records
    WrongPassword, // the default password does not open it
    Unsupported,   // an encryption scheme this reader does not know
};

// The password Excel-compatible writers use when a file must be encrypted without one.
inline constexpr char kDefaultPassword[] = "VelvetSweatshop";

// Decrypts `stream` in place, given the data of its FILEPASS record, the BIFF version (5 or
// 8) and the password (ASCII). Record headers and the records that are never encrypted are
// left as they are. The stream is untouched unless the password verifies.
Outcome decryptStream(QByteArray& stream, const QByteArray& filePass, int biffVersion,
                      const QByteArray& password = kDefaultPassword);

// The XOR-obfuscation verifier and key of a password (of at most 15 bytes).
uint16_t xorVerifier(const QByteArray& password);
uint16_t xorKey(const QByteArray& password);

} // namespace tovera::crypto
