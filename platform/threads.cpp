#include "platform/threads.h"

#include <pthread.h>

#include <cstring>
#include <map>

namespace platform {

namespace {
std::mutex g_registryMutex;
std::map<std::string, MutexHandle, std::less<>>& Registry() {
  static auto* r = new std::map<std::string, MutexHandle, std::less<>>();
  return *r;
}
}  // namespace

MutexHandle CreateNamedMutex(std::string_view name) {
  std::lock_guard<std::mutex> lock(g_registryMutex);
  auto& r = Registry();
  auto it = r.find(name);
  if (it != r.end()) return it->second;
  auto h = std::make_shared<NamedMutex>(std::string(name));
  r.emplace(std::string(name), h);
  return h;
}

MutexHandle OpenNamedMutex(std::string_view name) {
  std::lock_guard<std::mutex> lock(g_registryMutex);
  auto& r = Registry();
  auto it = r.find(name);
  return it == r.end() ? nullptr : it->second;
}

void ClearNamedMutexes() {
  std::lock_guard<std::mutex> lock(g_registryMutex);
  Registry().clear();
}

void SetCurrentThreadName(const char* name) {
  char shortName[16];
  std::strncpy(shortName, name, sizeof shortName - 1);
  shortName[sizeof shortName - 1] = '\0';
  pthread_setname_np(pthread_self(), shortName);
}

}  // namespace platform
