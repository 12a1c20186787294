#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace quarnel {

// One touch contact as reported to JavaScript.
struct TouchPoint {
    enum Type : int32_t { Down = 0, Up = 1, Move = 2 };
    int32_t touchType = Down;
    int32_t x = 0;  // whole screen pixels
    int32_t y = 0;
    uint32_t id = 0;
    uint32_t time = 0;  // milliseconds
};

// The `points` text of a touch event: compact JSON whose members come out sorted by name.
// An empty list stays a JSON null, so it reads "null" rather than "[]".
inline std::string TouchPointsJson(const std::vector<TouchPoint>& points) {
    nlohmann::json list;
    for (const TouchPoint& point : points) {
        nlohmann::json item;
        item["id"] = point.id;
        item["touchType"] = point.touchType;
        item["x"] = point.x;
        item["y"] = point.y;
        item["time"] = point.time;
        list.push_back(std::move(item));
    }
    return list.dump();
}

}  // namespace quarnel
