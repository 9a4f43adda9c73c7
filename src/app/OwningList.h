// COwningList: a list that owns its elements. It keeps them in insertion
// order and deletes them from the tail when it is cleared or destroyed, so
// whatever was added last goes first (the libraries are released in the
// reverse of their discovery order). Elements are handed over as
// std::unique_ptr and handed back the same way when removed.
#pragma once

#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

template <typename T>
class COwningList {
public:
    using Storage = std::vector<std::unique_ptr<T>>;
    using const_iterator = typename Storage::const_iterator;

    COwningList() = default;
    COwningList(const COwningList&) = delete;
    COwningList& operator=(const COwningList&) = delete;
    COwningList(COwningList&& other) noexcept : m_elements(std::move(other.m_elements)) {}
    COwningList& operator=(COwningList&& other) noexcept
    {
        if (this != &other) {
            Clear();
            m_elements = std::move(other.m_elements);
        }
        return *this;
    }
    ~COwningList() { Clear(); }

    // Takes ownership; a null element is not added.
    T* Append(std::unique_ptr<T> element)
    {
        if (!element) {
            return nullptr;
        }
        m_elements.push_back(std::move(element));
        return m_elements.back().get();
    }

    // Hands the element at index back to the caller (null when out of range).
    std::unique_ptr<T> Remove(std::size_t index)
    {
        if (index >= m_elements.size()) {
            return nullptr;
        }
        std::unique_ptr<T> element = std::move(m_elements[index]);
        m_elements.erase(m_elements.begin() + static_cast<std::ptrdiff_t>(index));
        return element;
    }

    // Deletes every element, the last one first.
    void Clear()
    {
        while (!m_elements.empty()) {
            m_elements.pop_back();
        }
    }

    std::size_t size() const { return m_elements.size(); }
    bool empty() const { return m_elements.empty(); }
    T& operator[](std::size_t index) const { return *m_elements[index]; }
    const_iterator begin() const { return m_elements.begin(); }
    const_iterator end() const { return m_elements.end(); }

private:
    Storage m_elements;
};
