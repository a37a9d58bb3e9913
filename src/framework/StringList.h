// An ordered list of 8-bit strings: append at the tail, count, index from the head, clear.
#pragma once

#include <string>
#include <vector>

class StringList {
  public:
    void AddTail(const std::string& text) { m_items.push_back(text); }
    int GetCount() const { return static_cast<int>(m_items.size()); }
    bool IsEmpty() const { return m_items.empty(); }
    const std::string& GetAt(int index) const { return m_items.at(static_cast<size_t>(index)); }
    void RemoveAll() { m_items.clear(); }

  private:
    std::vector<std::string> m_items;
};
