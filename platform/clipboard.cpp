#include "platform/clipboard.h"

namespace qv3 {
namespace {

MemoryClipboard g_memory_clipboard;
ClipboardService* g_clipboard = &g_memory_clipboard;

}  // namespace

ClipboardService& Clipboard() { return *g_clipboard; }

void InstallClipboard(ClipboardService* clipboard) {
  g_clipboard = clipboard ? clipboard : &g_memory_clipboard;
}

}  // namespace qv3
