#include "runtime/base/objlist.h"

#include "runtime/base/mem.h"

ObjectList::~ObjectList() { objlist_destruct(*this); }

int ObjectList::count_from() const
{
    int count = 0;
    for (const ObjectList* object = this; object; object = object->first_or_next)
        count++;
    return count;
}

int ObjectList::count() const { return first_or_next ? first_or_next->count_from() : 0; }

void* objlist_alloc(size_t size) { return mem_alloc_locked(size, kMemMovableZero); }

void objlist_free(void* memory) { mem_free_locked(memory); }

void objlist_construct(ObjectList& object)
{
    object.first_or_next = nullptr;
    object.last_or_prev = nullptr;
}

void objlist_destruct(ObjectList& list)
{
    while (ObjectList* child = list.first_or_next) {
        objlist_unlink(list, child);
        objlist_delete(child, 1);
    }
}

void objlist_delete(ObjectList* object, int flags)
{
    if (!object)
        return;
    object->~ObjectList();
    if (flags & 1)
        objlist_free(object);
}

int objlist_count_from(const ObjectList& object) { return object.count_from(); }

int objlist_count(const ObjectList& list) { return list.count(); }

void objlist_append(ObjectList& list, ObjectList* child)
{
    child->first_or_next = nullptr;
    child->last_or_prev = list.last_or_prev;
    if (list.last_or_prev)
        list.last_or_prev->first_or_next = child;
    else
        list.first_or_next = child;
    list.last_or_prev = child;
}

void objlist_unlink(ObjectList& list, ObjectList* child)
{
    if (!child)
        return;
    if (child->last_or_prev)
        child->last_or_prev->first_or_next = child->first_or_next;
    else if (list.first_or_next == child)
        list.first_or_next = child->first_or_next;
    if (child->first_or_next)
        child->first_or_next->last_or_prev = child->last_or_prev;
    else if (list.last_or_prev == child)
        list.last_or_prev = child->last_or_prev;
    child->first_or_next = nullptr;
    child->last_or_prev = nullptr;
}

void objlist_iter_init(ObjectListIter& iter, const ObjectList& list) { iter.next = list.first_or_next; }

ObjectList* objlist_iter_next(ObjectListIter& iter)
{
    ObjectList* child = iter.next;
    if (child)
        iter.next = child->first_or_next;
    return child;
}
