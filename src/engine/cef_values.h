// Process messages and their argument lists.
#pragma once

#include <vector>

#include "engine/cef_base.h"

enum cef_process_id_t { PID_BROWSER = 0, PID_RENDERER = 1 };
using CefProcessId = cef_process_id_t;

enum cef_value_type_t {
    VTYPE_INVALID = 0,
    VTYPE_NULL,
    VTYPE_BOOL,
    VTYPE_INT,
    VTYPE_DOUBLE,
    VTYPE_STRING
};

class CefValue : public virtual CefBaseRefCounted {
public:
    static CefRefPtr<CefValue> Create() { return new CefValue(); }
    cef_value_type_t GetType() const { return m_type; }
    CefString GetString() const { return m_type == VTYPE_STRING ? m_string : CefString(); }
    bool SetString(const CefString& value) {
        m_type = VTYPE_STRING;
        m_string = value;
        return true;
    }

private:
    cef_value_type_t m_type = VTYPE_NULL;
    CefString m_string;
    IMPLEMENT_REFCOUNTING(CefValue);
};

class CefListValue : public virtual CefBaseRefCounted {
public:
    static CefRefPtr<CefListValue> Create() { return new CefListValue(); }
    size_t GetSize() const { return m_values.size(); }
    bool SetSize(size_t size);
    // Sets entry `index`, growing the list as needed.
    bool SetString(size_t index, const CefString& value);
    CefString GetString(size_t index) const;
    // The entry at `index`; an empty (null) value past the end.
    CefRefPtr<CefValue> GetValue(size_t index) const;

private:
    std::vector<CefRefPtr<CefValue>> m_values;
    IMPLEMENT_REFCOUNTING(CefListValue);
};

class CefProcessMessage : public virtual CefBaseRefCounted {
public:
    static CefRefPtr<CefProcessMessage> Create(const CefString& name) {
        return new CefProcessMessage(name);
    }
    CefString GetName() const { return m_name; }
    CefRefPtr<CefListValue> GetArgumentList() const { return m_args; }

private:
    explicit CefProcessMessage(const CefString& name)
        : m_name(name), m_args(CefListValue::Create()) {}
    CefString m_name;
    CefRefPtr<CefListValue> m_args;
    IMPLEMENT_REFCOUNTING(CefProcessMessage);
};
