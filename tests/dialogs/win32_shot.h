// A PNG picture of a real window as it shows on the screen, saved beside
// the test program in screenshots/ for a person to look at (uncompressed:
// stored deflate blocks).
#ifndef VKMSG_TESTS_DIALOGS_WIN32_SHOT_H
#define VKMSG_TESTS_DIALOGS_WIN32_SHOT_H
#ifdef _WIN32
#include <windows.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace vktest {

using Bytes = std::vector<unsigned char>;

inline void PutBig32(Bytes& out, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<unsigned char>(v >> s));
}

inline void PutChunk(Bytes& png, const char* type, const Bytes& data) {
  PutBig32(png, static_cast<uint32_t>(data.size()));
  size_t start = png.size();
  png.insert(png.end(), type, type + 4);
  png.insert(png.end(), data.begin(), data.end());
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = start; i < png.size(); ++i) {
    crc ^= png[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  PutBig32(png, ~crc);
}

// Answers false when the picture could not be taken or written.  The
// picture is what the screen shows: the window is raised above every other
// program's for the moment it is taken, and repainted first.
inline bool SaveWindowPng(HWND window, const std::string& name) {
  const UINT keep = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
  SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, keep);
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
  Sleep(200);
  RECT r;
  if (!GetWindowRect(window, &r)) return false;
  int w = r.right - r.left, h = r.bottom - r.top;
  HDC screen = GetDC(nullptr), mem = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
  HGDIOBJ old = SelectObject(mem, bitmap);
  BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, keep);
  SelectObject(mem, old);
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof info.bmiHeader, w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};  // top row first
  Bytes bgra(static_cast<size_t>(w) * h * 4), raw, z = {0x78, 0x01}, header,
                                                   png = {0x89, 'P', 'N', 'G', 13, 10, 26, 10};
  int rows = GetDIBits(mem, bitmap, 0, static_cast<UINT>(h), bgra.data(), &info, DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  if (rows != h) return false;
  for (size_t i = 0; i < bgra.size(); i += 4) {
    if (i % (static_cast<size_t>(w) * 4) == 0) raw.push_back(0);  // each row: filter 0, then RGB
    raw.insert(raw.end(), {bgra[i + 2], bgra[i + 1], bgra[i]});
  }
  for (size_t at = 0; at < raw.size(); at += 65535) {
    size_t n = raw.size() - at < 65535 ? raw.size() - at : 65535;
    unsigned char lo = static_cast<unsigned char>(n), hi = static_cast<unsigned char>(n >> 8);
    z.insert(z.end(), {static_cast<unsigned char>(at + n == raw.size()), lo, hi, static_cast<unsigned char>(~lo),
                       static_cast<unsigned char>(~hi)});
    z.insert(z.end(), raw.begin() + static_cast<long>(at), raw.begin() + static_cast<long>(at + n));
  }
  uint32_t a = 1, b = 0;
  for (unsigned char c : raw) a = (a + c) % 65521, b = (b + a) % 65521;
  PutBig32(z, (b << 16) | a);
  PutBig32(header, static_cast<uint32_t>(w));
  PutBig32(header, static_cast<uint32_t>(h));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB
  PutChunk(png, "IHDR", header);
  PutChunk(png, "IDAT", z);
  PutChunk(png, "IEND", {});
  char exe[MAX_PATH];
  std::string dir(exe, GetModuleFileNameA(nullptr, exe, MAX_PATH));
  dir = dir.substr(0, dir.find_last_of("\\/") + 1) + "screenshots";
  CreateDirectoryA(dir.c_str(), nullptr);
  std::ofstream out(dir + "\\" + name + ".png", std::ios::binary);
  out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  return static_cast<bool>(out.flush());
}

}  // namespace vktest

#endif
#endif
