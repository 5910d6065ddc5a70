#pragma once

#include <QObject>

#include <functional>
#include <vector>

namespace parlomar::test {
std::vector<std::function<QObject*()>>& TestRegistry();

template <typename T>
struct RegisterTest {
    RegisterTest() {
        TestRegistry().push_back([] { return new T(); });
    }
};
} // namespace parlomar::test
