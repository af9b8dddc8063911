// Starting Windows Sockets: the program only needs to know that the
// socket layer works, so starting opens one socket and closes it again.
#include <sys/socket.h>

#include <atomic>
#include <cstring>

#include "platform/api/winsock.h"
#include "platform/linux/syscalls.h"

namespace {

std::atomic<int> g_startups{0};

bool SocketLayerWorks()
{
    int fd = platform::sys::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    platform::sys::close(fd);
    return true;
}

}  // namespace

int WINAPI WSAStartup(WORD wVersionRequested, LPWSADATA lpWSAData)
{
    if (!lpWSAData)
        return WSASYSNOTREADY;
    if (LOBYTE(wVersionRequested) < 1)
        return WSAVERNOTSUPPORTED;
    if (!SocketLayerWorks())
        return WSASYSNOTREADY;
    memset(lpWSAData, 0, sizeof *lpWSAData);
    lpWSAData->wVersion = MAKEWORD(2, 2);
    lpWSAData->wHighVersion = MAKEWORD(2, 2);
    strcpy(lpWSAData->szDescription, "Linux sockets");
    strcpy(lpWSAData->szSystemStatus, "Running");
    ++g_startups;
    return 0;
}

int WINAPI WSACleanup(void)
{
    int expected = g_startups.load();
    while (expected > 0 && !g_startups.compare_exchange_weak(expected, expected - 1)) {
    }
    return expected > 0 ? 0 : WSANOTINITIALISED;
}
