#include "users/password.h"

#include <cstring>

#include "store/fileprim.h"

namespace vk {

// FROZEN.  Every passwd file of every mail tree holds texts made with this
// table and the seed below; a build with any other value cannot check a
// single existing password.  Never edit, reorder or regenerate them.  All
// words are odd, so that multiplying the accumulator by one loses no bits.
const uint32_t PasswordHashTable[256] = {
    0xB50AC0D3u, 0x27A337C5u, 0x2DCB5B25u, 0x5257C68Du, 0xDD80DD2Du, 0x85DAAAADu, 0xE3E0C2D7u, 0x2F02A6EFu, 0x3598F3C3u,
    0xC83CD713u, 0x4C03B053u, 0xFBEFFF19u, 0x624E9D5Du, 0xC7C5C36Bu, 0xCA7233AFu, 0x238362BFu, 0x0ABBB6F1u, 0x6F7FC7BBu,
    0x2CFA5DABu, 0x2E867E43u, 0x8AD0C657u, 0x0ED9E1DBu, 0x17DA44A9u, 0xC2ECAF09u, 0xA1856715u, 0x28B59213u, 0x203DF771u,
    0xB08CAB13u, 0xEF82A3ABu, 0xE538071Fu, 0x13279DADu, 0xC91A72A9u, 0x1781BDC7u, 0xE2393587u, 0xD7133A0Du, 0xD2D26C45u,
    0x2399FA05u, 0x4EB027ABu, 0x80DC5FD5u, 0xF6966171u, 0xE5277D29u, 0x581D8C35u, 0x8E49E47Bu, 0x748A9E0Du, 0x90025D03u,
    0x45DF2773u, 0xF64CD4B5u, 0x0D60C1B7u, 0x0248DE31u, 0x09BF4E07u, 0xCE890B17u, 0x3FEE160Bu, 0x341C4045u, 0xB7EEA133u,
    0x4C01451Du, 0x370F2629u, 0x1A9C629Fu, 0xEDBF47B9u, 0x90C1EBA1u, 0xC7FF0F11u, 0x2611B729u, 0x7AEA3E97u, 0xE024A9FDu,
    0xBBD39097u, 0x2724AF85u, 0xF6EB65E5u, 0xFE359605u, 0x9DB52B0Du, 0x5E31AE05u, 0x32059339u, 0xDDC81B0Bu, 0x66B48C2Fu,
    0x264C4D25u, 0x229D7CFFu, 0x60488113u, 0xDE379391u, 0xF257AFB5u, 0xED21BB1Du, 0x0070399Fu, 0x70213BD9u, 0x66862493u,
    0x552A0EDBu, 0x802EBEDBu, 0xA92ED383u, 0x44D37C69u, 0x914B289Bu, 0xEACC1365u, 0x5D0760C7u, 0xEA8C659Bu, 0xE0253827u,
    0xC2F75C8Bu, 0xEA1E7AD1u, 0xF3C821EDu, 0x150B06BBu, 0xA16B1A75u, 0xB6D4A843u, 0x3619753Du, 0x1E271ABBu, 0x70C9AEADu,
    0x75C434C9u, 0x7ACF93E7u, 0x7C74BF9Bu, 0xAEDF9F43u, 0xBA6C52E7u, 0xF0A434CFu, 0x4F04034Du, 0x5E8AE8EDu, 0x850D2E69u,
    0x3C03FE25u, 0x403E3055u, 0x66EBA20Du, 0x53C7976Bu, 0x157957D9u, 0x59F60759u, 0xC98F465Bu, 0xDF17BFD9u, 0xA56CB18Fu,
    0x22F152BDu, 0x0E406083u, 0x3F454E79u, 0x78F4FF75u, 0x5B12B87Du, 0x50127D47u, 0x29AF178Fu, 0x93CC4163u, 0x0B5FE081u,
    0xC43E5EB7u, 0x4C16D7F5u, 0xB36DF993u, 0xFCB552C3u, 0x7398B02Du, 0x0FA43C81u, 0xCBA60C3Bu, 0x8D5BE029u, 0xB2B481B5u,
    0x1B86B7CBu, 0x61B2DD13u, 0xAC24EBC7u, 0xFE830B89u, 0x4B3D9591u, 0x3F9AB571u, 0x1F785F6Du, 0xE908BA4Du, 0x4B552465u,
    0xBA1462A1u, 0x3D61962Fu, 0x8B6DDD85u, 0x0FBEFD9Fu, 0xD9B3016Fu, 0xDD68BDABu, 0xA79E8DFFu, 0xD7A8FC2Du, 0x6FC63FCBu,
    0xD7690245u, 0x7DC59E5Fu, 0x0D04AF3Bu, 0xA6829D37u, 0xB1E11D27u, 0x873E11D9u, 0x230B8A7Du, 0x155A4B7Bu, 0xE714EA2Bu,
    0xFD090C51u, 0x1FD1CC1Du, 0x1A46E1F1u, 0x97764AEBu, 0xB57EC925u, 0xEFF63857u, 0x89256271u, 0x647796BDu, 0xB5188D6Bu,
    0x9E97B205u, 0xDA130301u, 0x3ABFABE1u, 0x31AC589Bu, 0xFFC68063u, 0xA96A2855u, 0x27946B45u, 0x97BC4DA9u, 0x898086A1u,
    0x896BB76Fu, 0xE99BFDE1u, 0x1C18B0B7u, 0x832A2FC3u, 0x471D2491u, 0x38890E63u, 0xBBB51801u, 0x3EC4F99Bu, 0x06306C3Fu,
    0x41936D23u, 0x68588EF7u, 0xB371079Du, 0xC6F88569u, 0x6E5736B9u, 0x55B64455u, 0xD1835CA1u, 0x3CE914C1u, 0xF04A269Fu,
    0x3F59291Fu, 0x64518701u, 0xBDB9A877u, 0x577D25FBu, 0xD6937811u, 0x609EFEE1u, 0x3DCB4779u, 0x9EDB8C93u, 0xFA9FE205u,
    0x856C259Bu, 0x6C92D2F5u, 0x6D6FBBF5u, 0x2A186397u, 0x82CB35D5u, 0xE540134Du, 0x02DF6411u, 0xBB0E3329u, 0x76A97255u,
    0xD59DA651u, 0x8BAF4D6Bu, 0x4F6C077Bu, 0x2D925481u, 0xFF11E503u, 0x511694D9u, 0xC4EEFD63u, 0xF4E54D6Fu, 0xF0BE53A5u,
    0xAA7A3B81u, 0x3EFCD29Fu, 0x9F325F35u, 0xFA43E57Fu, 0x8D7340EBu, 0xDA9B905Du, 0x7A4D1811u, 0x04627193u, 0x9343D2B7u,
    0x54E716F7u, 0x13822E5Bu, 0x74557071u, 0xE96C299Du, 0x363CE277u, 0xF6E11795u, 0x6C449D67u, 0xFA6A9A47u, 0x57A08181u,
    0x2CFE471Fu, 0x13E84EB7u, 0x63A2C54Du, 0x4BB5E2B1u, 0xD7706049u, 0x6CA712A3u, 0xF3B300CFu, 0xDA496077u, 0x6B84D689u,
    0xA5C9B1A7u, 0x70E7BD6Bu, 0xB97C8FD7u, 0x39FC5F01u,
};

// FROZEN, like the table above.
const uint32_t PasswordHashSeed = 0x2CCEA280u;

namespace {

// The password keeps at most 23 characters; the work text at most 33.
constexpr size_t kPasswordPartSize = 24;
constexpr size_t kWorkTextSize = 34;
constexpr int kWorkAreaSize = 34;
constexpr int kMinDigest = 8;
constexpr int kMaxDigest = 32;

}  // namespace

char HexDigit(unsigned char byte, int high) {
  unsigned nibble = high ? (byte >> 4) : (byte & 0x0Fu);
  return static_cast<char>(nibble < 10 ? '0' + nibble : 'A' + (nibble - 10));
}

int PasswordHash(const unsigned char* input, int length, unsigned char* out, int capacity) {
  if (out == nullptr || capacity <= 0) return 0;
  if (input == nullptr || length < 0) length = 0;
  if (length > kPasswordHashMaxInput) length = kPasswordHashMaxInput;

  uint32_t acc = PasswordHashSeed;
  uint32_t prev = 0;

  // The bytes after the input take part in the hash as zeros.
  unsigned char work[kWorkAreaSize];
  std::memset(work, 0, sizeof work);
  if (length > 0) std::memcpy(work, input, static_cast<size_t>(length));

  int n = ((length + 1) | 3) + 1;
  if (n <= kMinDigest) n = kMinDigest;
  if (capacity < n) {
    // The shuffle works on groups of four bytes; a capacity that is not a
    // multiple of four must not let the last group run past the buffer.
    n = capacity & ~3;
    if (n == 0) return 0;
  }
  if (n >= kMaxDigest) n = kMaxDigest;

  for (int round = 0; round < n - 1; ++round) {
    for (int i = 0; i < n; ++i) {
      acc = PasswordHashTable[work[i]] * acc + PasswordHashTable[prev];
      out[i] = static_cast<unsigned char>((acc & 0x7F8u) >> 3);
      prev = out[i];
    }
    for (int k = 0; k < n; k += 4) {
      unsigned char b0 = out[k], b1 = out[k + 1], b2 = out[k + 2], b3 = out[k + 3];
      out[k] = static_cast<unsigned char>((b2 & 0xF0) | (b0 >> 4));
      out[k + 1] = static_cast<unsigned char>(((b2 & 0x0F) << 4) | (b0 & 0x0F));
      out[k + 2] = static_cast<unsigned char>((b3 & 0xF0) | (b1 >> 4));
      out[k + 3] = static_cast<unsigned char>(((b3 & 0x0F) << 4) | (b1 & 0x0F));
    }
    unsigned char first = out[0];
    std::memmove(out, out + 1, static_cast<size_t>(n - 1));
    out[n - 1] = first;
    std::memcpy(work, out, static_cast<size_t>(n));
  }
  return n;
}

void EncodePassword(const char* name, const char* password, char* out) {
  if (password == nullptr || out == nullptr) return;

  char text[40];
  CopyBounded(text, password, kPasswordPartSize);
  AppendBounded(text, name, kWorkTextSize);
  // Only ASCII letters fold: the same text must come out on every
  // workstation, whatever its locale.
  for (char* p = text; *p; ++p) {
    if (*p >= 'A' && *p <= 'Z') *p = static_cast<char>(*p - 'A' + 'a');
  }

  unsigned char digest[kPasswordDigestSize];
  int n = PasswordHash(reinterpret_cast<const unsigned char*>(text), static_cast<int>(std::strlen(text)), digest,
                       kPasswordDigestSize);
  for (int i = 0; i < n; ++i) {
    out[2 * i] = HexDigit(digest[i], 1);
    out[2 * i + 1] = HexDigit(digest[i], 0);
  }
  out[2 * n] = '\0';
}

}  // namespace vk
