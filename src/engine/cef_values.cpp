#include "engine/cef_values.h"

bool CefListValue::SetSize(size_t size) {
    const size_t old = m_values.size();
    m_values.resize(size);
    for (size_t i = old; i < size; ++i)
        m_values[i] = CefValue::Create();
    return true;
}

bool CefListValue::SetString(size_t index, const CefString& value) {
    if (index >= m_values.size())
        SetSize(index + 1);
    m_values[index]->SetString(value);
    return true;
}

CefString CefListValue::GetString(size_t index) const {
    return index < m_values.size() ? m_values[index]->GetString() : CefString();
}

CefRefPtr<CefValue> CefListValue::GetValue(size_t index) const {
    return index < m_values.size() ? m_values[index] : CefRefPtr<CefValue>(CefValue::Create());
}
