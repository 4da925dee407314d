// The device record: where a camera is and how to talk to it.
#pragma once

#include <cstdint>
#include <string>

namespace talvex {

struct DEVICE_INFO {
    DEVICE_INFO(std::string address_, uint16_t port_, std::string user_, std::string password_)
        : address(std::move(address_)), port(port_), user(std::move(user_)), password(std::move(password_)) {}
    virtual ~DEVICE_INFO() = default;

    uint32_t firstTimeoutMs = 5000;   // resolve/connect/send/receive of one request
    uint32_t secondTimeoutMs = 15000; // the driver sets 10000 at open
    std::string address;
    uint16_t port;
    std::string user;
    std::string password;
    std::string model;
    uint32_t generation = 1;
};

} // namespace talvex
