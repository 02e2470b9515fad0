#include "connection.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <cstdlib>

namespace zumen_serve {

namespace {

bool Matches(const sockaddr_storage& a, const std::string& addr, int port) {
  char text[INET6_ADDRSTRLEN] = {};
  int p = -1;
  if (a.ss_family == AF_INET) {
    const auto* in = reinterpret_cast<const sockaddr_in*>(&a);
    inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
    p = ntohs(in->sin_port);
  } else if (a.ss_family == AF_INET6) {
    const auto* in = reinterpret_cast<const sockaddr_in6*>(&a);
    inet_ntop(AF_INET6, &in->sin6_addr, text, sizeof text);
    p = ntohs(in->sin6_port);
  } else {
    return false;
  }
  return p == port && addr == text;
}

bool IsConnection(int fd, const std::string& remote_addr, int remote_port, const std::string& local_addr,
                  int local_port) {
  sockaddr_storage peer{}, self{};
  socklen_t n = sizeof peer, m = sizeof self;
  return getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &n) == 0 && Matches(peer, remote_addr, remote_port) &&
         getsockname(fd, reinterpret_cast<sockaddr*>(&self), &m) == 0 && Matches(self, local_addr, local_port);
}

}  // namespace

int FindConnectionSocket(const std::string& remote_addr, int remote_port, const std::string& local_addr,
                         int local_port) {
  // A connection keeps its socket for its requests: the last one found on
  // this thread is tried first.
  thread_local int last = -1;
  if (last >= 0 && IsConnection(last, remote_addr, remote_port, local_addr, local_port)) return last;
  DIR* dir = opendir("/proc/self/fd");
  if (dir == nullptr) return -1;
  int found = -1;
  while (const dirent* e = readdir(dir)) {
    char* end = nullptr;
    const long fd = std::strtol(e->d_name, &end, 10);
    if (end == e->d_name || *end != '\0' || fd == dirfd(dir)) continue;
    struct stat st {};
    if (fstat(static_cast<int>(fd), &st) != 0 || !S_ISSOCK(st.st_mode)) continue;
    if (IsConnection(static_cast<int>(fd), remote_addr, remote_port, local_addr, local_port)) {
      found = static_cast<int>(fd);
      break;
    }
  }
  closedir(dir);
  last = found;
  return found;
}

bool PeerGone(int fd) {
  if (fd < 0) return false;
  pollfd p{fd, POLLIN | POLLRDHUP, 0};
  if (poll(&p, 1, 0) <= 0) return false;
  if (p.revents & (POLLERR | POLLHUP | POLLRDHUP | POLLNVAL)) return true;
  if (p.revents & POLLIN) {
    char c;
    return recv(fd, &c, 1, MSG_PEEK | MSG_DONTWAIT) == 0;
  }
  return false;
}

}  // namespace zumen_serve
