#pragma once
// Ports on 127.0.0.1 for servers started by tests.
#include <chrono>
#include <string>

// First of `count` consecutive ports that are free right now, below the kernel's ephemeral range
// so that outgoing connections of other tests cannot take them in the meantime.
int PickFreePorts(int count = 1);
// Another address of the loopback network (127.x.y.z) on which `port` is free, for servers that
// must sit on a fixed port such as 21.
std::string PickLoopbackAddress(int port);
// Whether something accepts connections on address:port within the wait (loopback addresses only).
bool WaitForPort(int port, std::chrono::milliseconds wait, const std::string& address = "127.0.0.1");
// A connected TCP socket to address:port, or -1; refuses any address outside 127.0.0.0/8.
int ConnectLoopback(int port, std::chrono::milliseconds wait, const std::string& address = "127.0.0.1");
// A socket listening on 127.0.0.1 at a port the system chooses; the port goes to `port`.
int ListenLoopback(int& port);
// Accepts one connection within the wait, or -1.
int AcceptWithin(int listener, std::chrono::milliseconds wait);
