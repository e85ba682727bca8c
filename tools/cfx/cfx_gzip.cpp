// Deflate and inflate with a gzip wrapper.
#include "cfx_gzip.h"

#include <zlib.h>

namespace qrx::cfx {

namespace {

constexpr int kGzipWindow = 16 + MAX_WBITS; // zlib's way of asking for the gzip wrapper

Bytef *Bytes(std::string_view text) { return reinterpret_cast<Bytef *>(const_cast<char *>(text.data())); }

} // namespace

std::string CfxGzip::Compress(std::string_view text, int level) {
  z_stream z{};
  if (deflateInit2(&z, level, Z_DEFLATED, kGzipWindow, 8, Z_DEFAULT_STRATEGY) != Z_OK) return {};
  std::string out(deflateBound(&z, static_cast<uLong>(text.size())), '\0');
  z.next_in = Bytes(text);
  z.avail_in = static_cast<uInt>(text.size());
  z.next_out = reinterpret_cast<Bytef *>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  // The bound is enough for one call to finish the stream.
  const int rc = deflate(&z, Z_FINISH);
  out.resize(rc == Z_STREAM_END ? z.total_out : 0);
  deflateEnd(&z);
  return out;
}

bool CfxGzip::Inflate(std::string_view data, std::string *out, std::string *error, size_t maxBytes) {
  z_stream z{};
  if (inflateInit2(&z, kGzipWindow) != Z_OK) {
    *error = "cannot inflate";
    return false;
  }
  z.next_in = Bytes(data);
  z.avail_in = static_cast<uInt>(data.size());
  out->clear();
  char buffer[65536];
  int rc = Z_OK;
  while (rc == Z_OK) {
    z.next_out = reinterpret_cast<Bytef *>(buffer);
    z.avail_out = sizeof buffer;
    rc = inflate(&z, Z_NO_FLUSH);
    if (rc != Z_OK && rc != Z_STREAM_END) break;
    out->append(buffer, sizeof buffer - z.avail_out);
    if (out->size() > maxBytes) {
      inflateEnd(&z);
      *error = "the gzip body inflates past " + std::to_string(maxBytes >> 20) + " MiB";
      return false;
    }
  }
  inflateEnd(&z);
  if (rc != Z_STREAM_END) {
    *error = rc == Z_BUF_ERROR ? "the gzip body is cut short" : "the body is not gzip";
    return false;
  }
  return true;
}

} // namespace qrx::cfx
