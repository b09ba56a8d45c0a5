// ObjectList: owned objects in an intrusive doubly-linked list (the menu-object roots are its
// users). The same two links serve an object as a list head (its first and last child) or as
// an element (its next and previous sibling), so an element has no children of its own.
// Objects live in zeroed movable memory that stays locked for their life (objlist_new), and
// a head deletes its children when it is destroyed.
#pragma once
#include <cstddef>
#include <new>
#include <utility>

class ObjectList {
public:
    ObjectList() = default;
    ObjectList(const ObjectList&) = delete;
    ObjectList& operator=(const ObjectList&) = delete;
    // Unlinks and deletes every child.
    virtual ~ObjectList();
    // This object and the siblings after it.
    virtual int count_from() const;
    // The children of a head.
    virtual int count() const;

    ObjectList* first_or_next = nullptr; // first child (head) or next sibling (element)
    ObjectList* last_or_prev = nullptr;  // last child (head) or previous sibling (element)
};

struct ObjectListIter {
    ObjectList* next = nullptr;
};

// Zeroed memory for an object; null when out of memory. objlist_free gives it back.
void* objlist_alloc(size_t size);
void objlist_free(void* memory);

// A new object of type T in objlist_alloc memory; null when out of memory.
template <typename T, typename... Args>
T* objlist_new(Args&&... args)
{
    void* memory = objlist_alloc(sizeof(T));
    return memory ? new (memory) T(std::forward<Args>(args)...) : nullptr;
}

// Both links null.
void objlist_construct(ObjectList& object);
// Unlinks and deletes every child through objlist_delete (memory freed).
void objlist_destruct(ObjectList& list);
// Runs the object's destructor; flags bit 0 also frees its memory. Unlink an element first.
void objlist_delete(ObjectList* object, int flags);
int objlist_count_from(const ObjectList& object);
int objlist_count(const ObjectList& list);
// Links child as the list's last child.
void objlist_append(ObjectList& list, ObjectList* child);
// Takes child out of the list; its links become null.
void objlist_unlink(ObjectList& list, ObjectList* child);
// The iterator steps before it returns a child, so that child may be unlinked meanwhile.
void objlist_iter_init(ObjectListIter& iter, const ObjectList& list);
ObjectList* objlist_iter_next(ObjectListIter& iter);
