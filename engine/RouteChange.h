#pragma once
// Tells whether the device plays through a dock's line output. Holds no state of its own;
// any thread may ask.

class RouteChange {
public:
    // True exactly when the current route is "LineOut"; false when the route cannot be
    // read or there is none.
    bool getRouteState() const;
};
