#include "sheet/crypto.h"

#include "sheet/biff.h"

#include <QCryptographicHash>
#include <array>
#include <cstring>
#include <functional>

namespace tovera::crypto {
namespace {

const uint16_t kInitialCode[15] = {0xE1F0, 0x1D0F, 0xCC9C, 0x84C0, 0x110C, 0x0E10, 0xF1CE, 0x313E,
                                   0x1872, 0xE139, 0xD40F, 0x84F9, 0x280C, 0xA96A, 0x4EC3};

const uint16_t kXorMatrix[105] = {
    0xAEFC, 0x4DD9, 0x9BB2, 0x2745, 0x4E8A, 0x9D14, 0x2A09, 0x7B61, 0xF6C2, 0xFDA5, 0xEB6B, 0xC6F7,
    0x9DCF, 0x2BBF, 0x4563, 0x8AC6, 0x05AD, 0x0B5A, 0x16B4, 0x2D68, 0x5AD0, 0x0375, 0x06EA, 0x0DD4,
    0x1BA8, 0x3750, 0x6EA0, 0xDD40, 0xD849, 0xA0B3, 0x5147, 0xA28E, 0x553D, 0xAA7A, 0x44D5, 0x6F45,
    0xDE8A, 0xAD35, 0x4A4B, 0x9496, 0x390D, 0x721A, 0xEB23, 0xC667, 0x9CEF, 0x29FF, 0x53FE, 0xA7FC,
    0x5FD9, 0x47D3, 0x8FA6, 0x0F6D, 0x1EDA, 0x3DB4, 0x7B68, 0xF6D0, 0xB861, 0x60E3, 0xC1C6, 0x93AD,
    0x377B, 0x6EF6, 0xDDEC, 0x45A0, 0x8B40, 0x06A1, 0x0D42, 0x1A84, 0x3508, 0x6A10, 0xAA51, 0x4483,
    0x8906, 0x022D, 0x045A, 0x08B4, 0x1168, 0x76B4, 0xED68, 0xCAF1, 0x85C3, 0x1BA7, 0x374E, 0x6E9C,
    0x3730, 0x6E60, 0xDCC0, 0xA9A1, 0x4363, 0x86C6, 0x1DAD, 0x3331, 0x6662, 0xCCC4, 0x89A9, 0x0373,
    0x06E6, 0x0DCC, 0x1021, 0x2042, 0x4084, 0x8108, 0x1231, 0x2462, 0x48C4};

const uint8_t kPad[15] = {0xBB, 0xFF, 0xFF, 0xBA, 0xFF, 0xFF, 0xB9, 0x80,
                          0x00, 0xBE, 0x0F, 0x00, 0xBF, 0x0F, 0x00};

uint8_t ror8(uint8_t v, int n) {
    return uint8_t((v >> n) | (v << (8 - n)));
}

std::array<uint8_t, 16> xorArray(const QByteArray& pw, uint16_t key) {
    std::array<uint8_t, 16> arr{};
    const int n = int(pw.size());
    const uint8_t hi = uint8_t(key >> 8), lo = uint8_t(key & 0xFF);
    auto xr = [](uint8_t a, uint8_t b) { return ror8(uint8_t(a ^ b), 1); };
    int i = n;
    if (n % 2 == 1) {
        arr[size_t(i)] = xr(kPad[0], hi);
        --i;
        arr[size_t(i)] = xr(uint8_t(pw[n - 1]), lo);
    }
    while (i > 0) {
        --i;
        arr[size_t(i)] = xr(uint8_t(pw[i]), hi);
        --i;
        arr[size_t(i)] = xr(uint8_t(pw[i]), lo);
    }
    i = 15;
    int p = 15 - n;
    while (p > 0) {
        arr[size_t(i)] = xr(kPad[p], hi);
        --i;
        --p;
        arr[size_t(i)] = xr(kPad[p], lo);
        --i;
        --p;
    }
    return arr;
}

class Rc4 {
public:
    void init(const uint8_t* key, size_t len) {
        for (int k = 0; k < 256; ++k) s_[size_t(k)] = uint8_t(k);
        uint8_t j = 0;
        for (int k = 0; k < 256; ++k) {
            j = uint8_t(j + s_[size_t(k)] + key[size_t(k) % len]);
            std::swap(s_[size_t(k)], s_[j]);
        }
        i_ = j_ = 0;
    }
    uint8_t next() {
        i_ = uint8_t(i_ + 1);
        j_ = uint8_t(j_ + s_[i_]);
        std::swap(s_[i_], s_[j_]);
        return s_[uint8_t(s_[i_] + s_[j_])];
    }

private:
    std::array<uint8_t, 256> s_{};
    uint8_t i_ = 0, j_ = 0;
};

// A key stream tied to absolute stream offsets in blocks of 1024 bytes.
class BlockCipher {
public:
    explicit BlockCipher(std::function<QByteArray(uint32_t)> blockKey)
        : blockKey_(std::move(blockKey)) {}
    uint8_t keyAt(size_t offset) {
        const size_t block = offset / 1024;
        if (block != block_ || offset < pos_) {
            const QByteArray k = blockKey_(uint32_t(block));
            rc4_.init(reinterpret_cast<const uint8_t*>(k.constData()), size_t(k.size()));
            block_ = block;
            pos_ = block * 1024;
        }
        while (pos_ < offset) {
            rc4_.next();
            ++pos_;
        }
        ++pos_;
        return rc4_.next();
    }

private:
    std::function<QByteArray(uint32_t)> blockKey_;
    Rc4 rc4_;
    size_t block_ = size_t(-1);
    size_t pos_ = 0;
};

QByteArray utf16le(const QByteArray& s) {
    QByteArray out;
    for (char c : s) {
        out.append(c);
        out.append('\0');
    }
    return out;
}

QByteArray le32(uint32_t v) {
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i) b[i] = char((v >> (8 * i)) & 0xFF);
    return b;
}

bool neverEncrypted(uint16_t id) {
    switch (id) {
    case 0x0809:
    case 0x0009:
    case 0x0209:
    case 0x0409: // BOF
    case 0x002F: // FILEPASS
    case 0x00E1: // INTERFACEHDR
    case 0x0194:
    case 0x0195:
    case 0x0196:
    case 0x0138:
        return true;
    default:
        return false;
    }
}

// Applies `decode(byte, absoluteOffset, recordSize)` to every encrypted byte.
void walk(QByteArray& stream, const std::function<uint8_t(uint8_t, size_t, size_t)>& decode) {
    biff::RecordReader reader(stream);
    biff::Record r;
    uint8_t* base = reinterpret_cast<uint8_t*>(stream.data());
    while (reader.next(r)) {
        if (neverEncrypted(r.id)) continue;
        size_t start = r.id == 0x0085 ? 4 : 0; // BOUNDSHEET keeps its stream offset plain
        const size_t dataOffset = r.offset + 4;
        for (size_t k = start; k < r.size; ++k)
            base[dataOffset + k] = decode(base[dataOffset + k], dataOffset + k, r.size);
    }
}

Outcome decryptXor(QByteArray& stream, uint16_t key, uint16_t verifier, const QByteArray& pw) {
    if (xorKey(pw) != key || xorVerifier(pw) != verifier) return Outcome::WrongPassword;
    const std::array<uint8_t, 16> arr = xorArray(pw, key);
    walk(stream, [&](uint8_t c, size_t p, size_t len) {
        return ror8(uint8_t(c ^ arr[(p + len) % 16]), 5);
    });
    return Outcome::Decrypted;
}

bool verify(BlockCipher cipher, const uint8_t* verifier, const uint8_t* hash, size_t hashLen,
            QCryptographicHash::Algorithm algo) {
    QByteArray plainVerifier(16, '\0'), plainHash(qsizetype(hashLen), '\0');
    for (size_t k = 0; k < 16; ++k)
        plainVerifier[qsizetype(k)] = char(verifier[k] ^ cipher.keyAt(k));
    for (size_t k = 0; k < hashLen; ++k)
        plainHash[qsizetype(k)] = char(hash[k] ^ cipher.keyAt(16 + k));
    return QCryptographicHash::hash(plainVerifier, algo).left(qsizetype(hashLen)) == plainHash;
}

void decryptWith(QByteArray& stream, BlockCipher& cipher) {
    walk(stream, [&](uint8_t c, size_t p, size_t) { return uint8_t(c ^ cipher.keyAt(p)); });
}

} // namespace

uint16_t xorVerifier(const QByteArray& password) {
    QByteArray bytes;
    bytes.append(char(password.size()));
    bytes.append(password);
    uint16_t v = 0;
    for (qsizetype k = bytes.size() - 1; k >= 0; --k)
        v = uint16_t((((v >> 14) & 1) | ((v << 1) & 0x7FFF)) ^ uint8_t(bytes[k]));
    return v ^ 0xCE4B;
}

uint16_t xorKey(const QByteArray& password) {
    if (password.isEmpty() || password.size() > 15) return 0;
    uint16_t key = kInitialCode[password.size() - 1];
    int m = 104;
    for (qsizetype k = password.size() - 1; k >= 0; --k) {
        uint8_t c = uint8_t(password[k]);
        for (int bit = 0; bit < 7; ++bit) {
            if (c & 0x40) key ^= kXorMatrix[m];
            c = uint8_t(c << 1);
            --m;
        }
    }
    return key;
}

Outcome decryptStream(QByteArray& stream, const QByteArray& filePass, int biffVersion,
                      const QByteArray& password) {
    biff::Cursor c(reinterpret_cast<const uint8_t*>(filePass.constData()), size_t(filePass.size()));
    if (biffVersion < 8) {
        const uint16_t key = c.u16(), verifier = c.u16();
        if (!c.ok()) return Outcome::Unsupported;
        return decryptXor(stream, key, verifier, password);
    }
    const uint16_t type = c.u16();
    if (type == 0) {
        const uint16_t key = c.u16(), verifier = c.u16();
        if (!c.ok()) return Outcome::Unsupported;
        return decryptXor(stream, key, verifier, password);
    }
    if (type != 1) return Outcome::Unsupported;
    const uint16_t major = c.u16(), minor = c.u16();
    const QByteArray pw = utf16le(password);
    if (major == 1 && minor == 1) {
        const QByteArray salt = c.bytes(16), verifier = c.bytes(16), hash = c.bytes(16);
        if (!c.ok()) return Outcome::Unsupported;
        const QByteArray h0 = QCryptographicHash::hash(pw, QCryptographicHash::Md5).left(5);
        QByteArray buf;
        for (int k = 0; k < 16; ++k) buf += h0 + salt;
        const QByteArray k40 = QCryptographicHash::hash(buf, QCryptographicHash::Md5).left(5);
        BlockCipher cipher([k40](uint32_t b) {
            return QCryptographicHash::hash(k40 + le32(b), QCryptographicHash::Md5);
        });
        if (!verify(cipher, reinterpret_cast<const uint8_t*>(verifier.constData()),
                    reinterpret_cast<const uint8_t*>(hash.constData()), 16,
                    QCryptographicHash::Md5))
            return Outcome::WrongPassword;
        decryptWith(stream, cipher);
        return Outcome::Decrypted;
    }
    if (major >= 2 && major <= 4 && minor == 2) {
        c.u32(); // flags copy
        const uint32_t headerSize = c.u32();
        if (!c.ok() || headerSize < 32 || headerSize > c.remaining()) return Outcome::Unsupported;
        const uint32_t flags = c.u32();
        c.u32(); // size extra
        const uint32_t algId = c.u32();
        c.u32(); // hash algorithm
        uint32_t keyBits = c.u32();
        c.skip(headerSize - 20);
        if (flags & 0x20) return Outcome::Unsupported; // AES is not used in this format
        if (algId != 0 && algId != 0x6801) return Outcome::Unsupported;
        if (keyBits == 0) keyBits = 40;
        if (keyBits < 40 || keyBits > 128 || keyBits % 8) return Outcome::Unsupported;
        const uint32_t saltSize = c.u32();
        if (saltSize != 16) return Outcome::Unsupported;
        const QByteArray salt = c.bytes(16), verifier = c.bytes(16);
        const uint32_t hashSize = c.u32();
        if (hashSize != 20) return Outcome::Unsupported;
        const QByteArray hash = c.bytes(20);
        if (!c.ok()) return Outcome::Unsupported;
        const QByteArray h0 = QCryptographicHash::hash(salt + pw, QCryptographicHash::Sha1);
        const int keyBytes = int(keyBits / 8);
        BlockCipher cipher([h0, keyBytes](uint32_t b) {
            QByteArray k =
                QCryptographicHash::hash(h0 + le32(b), QCryptographicHash::Sha1).left(keyBytes);
            if (keyBytes == 5) k.append(QByteArray(11, '\0'));
            return k;
        });
        if (!verify(cipher, reinterpret_cast<const uint8_t*>(verifier.constData()),
                    reinterpret_cast<const uint8_t*>(hash.constData()), 20,
                    QCryptographicHash::Sha1))
            return Outcome::WrongPassword;
        decryptWith(stream, cipher);
        return Outcome::Decrypted;
    }
    return Outcome::Unsupported;
}

} // namespace tovera::crypto
