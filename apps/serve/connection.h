#pragma once
// Whether the client of a request is still there. cpp-httplib does not hand
// a handler its connection's socket, so the socket is found once per request
// by the addresses the request came on (unique while the request is open).
#include <string>

namespace zumen_serve {

// The socket of the open connection between these addresses, or -1.
int FindConnectionSocket(const std::string& remote_addr, int remote_port, const std::string& local_addr, int local_port);

// Whether the peer has closed or reset the connection (asked without
// blocking; data waiting to be read, such as a next request, counts as
// present). False for -1.
bool PeerGone(int fd);

}  // namespace zumen_serve
