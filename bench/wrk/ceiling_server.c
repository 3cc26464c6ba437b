/* The fastest HTTP/1.1 server this machine can run in one thread: epoll, keep-alive, one fixed
 * 404 answer per request head, no parsing beyond finding the blank line. wrk against it shows
 * how many requests per second wrk itself can drive here, so a server measured well below that
 * is measured, not wrk. Usage: ceiling_server PORT (0 = any; prints the port). */
#define _GNU_SOURCE
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

static const char answer[] = "HTTP/1.1 404 Not Found\r\nContent-Type: application/json\r\n"
                             "Content-Length: 21\r\n\r\n{\"error\":\"no route\"}\n";

int main(int argc, char **argv)
{
    int listener = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0), one = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    struct sockaddr_in addr = {.sin_family = AF_INET, .sin_port = htons(argc > 1 ? atoi(argv[1]) : 0),
                               .sin_addr.s_addr = htonl(INADDR_LOOPBACK)};
    socklen_t len = sizeof addr;
    if (bind(listener, (struct sockaddr *)&addr, sizeof addr) || listen(listener, 4096) ||
        getsockname(listener, (struct sockaddr *)&addr, &len))
        return perror("listen"), 1;
    printf("%d\n", ntohs(addr.sin_port));
    fflush(stdout);
    int poller = epoll_create1(0);
    struct epoll_event event = {.events = EPOLLIN, .data.fd = listener}, events[256];
    epoll_ctl(poller, EPOLL_CTL_ADD, listener, &event);
    static char buffer[65536];
    for (;;) {
        int ready = epoll_wait(poller, events, 256, -1);
        for (int i = 0; i < ready; ++i) {
            int fd = events[i].data.fd;
            if (fd == listener) {
                int client;
                while ((client = accept4(listener, NULL, NULL, SOCK_NONBLOCK)) >= 0) {
                    setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
                    struct epoll_event added = {.events = EPOLLIN, .data.fd = client};
                    epoll_ctl(poller, EPOLL_CTL_ADD, client, &added);
                }
                continue;
            }
            ssize_t got = read(fd, buffer, sizeof buffer - 1);
            if (got <= 0) {
                close(fd);
                continue;
            }
            buffer[got] = 0;
            for (char *at = buffer; (at = strstr(at, "\r\n\r\n")) != NULL; at += 4)
                if (write(fd, answer, sizeof answer - 1) < 0)
                    break;
        }
    }
}
