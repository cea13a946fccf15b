#pragma once

#include <core/Strings.h>

#include <exception>
#include <string>

namespace skin {

// The skin's structural failures. Nothing inside the skin engine catches them: the application treats
// them as fatal.
class SkinException : public std::exception {
public:
    char const* what() const noexcept override { return message_.c_str(); }

protected:
    explicit SkinException(core::String const& message)
        : message_(core::to_utf8(message))
    {
    }

private:
    std::string message_;
};

// A form asks for a top-level entry that the skin does not have.
class NodeNotFoundInSkin : public SkinException {
public:
    explicit NodeNotFoundInSkin(core::String name);
    core::String const& name() const { return name_; }

private:
    core::String name_;
};

// A form binds a named child that its tree does not contain.
class NodeNotFound : public SkinException {
public:
    NodeNotFound(core::String form_id, core::String child_id);
    core::String const& form_id() const { return form_id_; }
    core::String const& child_id() const { return child_id_; }

private:
    core::String form_id_;
    core::String child_id_;
};

// An element record names a type that is not registered.
class NodeNotRegistered : public SkinException {
public:
    explicit NodeNotRegistered(core::String type_name);
    core::String const& type_name() const { return type_name_; }

private:
    core::String type_name_;
};

// A type is registered twice.
class NodeAlreadyRegistered : public SkinException {
public:
    explicit NodeAlreadyRegistered(core::String type_name);
    core::String const& type_name() const { return type_name_; }

private:
    core::String type_name_;
};

} // namespace skin
