// The string-list registry: a chain of list nodes, each holding a ring of items.
//
// List nodes form a circular chain headed by a sentinel with key -1, in creation order.
// The items of one list form a circular singly linked ring (the last item points at the
// first), so appending needs only the last item and a walk by position stops when it comes
// back to the first.
#include "common/stringlists.h"

#include <stdlib.h>
#include <string.h>

namespace {

struct ListItem {
    int owner; // key of the list the item belongs to
    char* text;
    ListItem* next;
};

struct ListNode {
    int key;
    int count;
    ListItem* first;
    ListItem* last;
    ListNode* next;
};

struct Registry {
    bool initialised;
    int lists;
    int serial;
    ListNode sentinel;
    ListNode* lastnode;
};

Registry registry;

ListNode* findlist(int handle) {
    for (ListNode* node = registry.sentinel.next; node != &registry.sentinel; node = node->next)
        if (node->key == handle) return node;
    return nullptr;
}

void clearitems(ListNode* list) {
    ListItem* item = list->first;
    for (int i = 0; item && i < list->count; i++) {
        ListItem* next = item->next;
        free(item->text);
        free(item);
        item = next;
    }
    list->count = 0;
    list->first = list->last = nullptr;
}

} // namespace

void listinit() {
    if (registry.initialised) return;
    registry.initialised = true;
    registry.lists = 0;
    registry.serial = 1;
    registry.sentinel = {-1, 0, nullptr, nullptr, &registry.sentinel};
    registry.lastnode = &registry.sentinel;
}

int listcreate() {
    if (!registry.initialised) return 0;
    ListNode* node = (ListNode*)malloc(sizeof(ListNode));
    if (!node) return 0;
    registry.serial++;
    *node = {3 * registry.serial, 0, nullptr, nullptr, &registry.sentinel};
    registry.lastnode->next = node;
    registry.lastnode = node;
    registry.lists++;
    return node->key;
}

int listadd(int handle, const char* text) {
    if (!registry.initialised || !text) return 0;
    ListNode* list = findlist(handle);
    if (!list) return 0;
    ListItem* item = (ListItem*)malloc(sizeof(ListItem));
    if (!item) return 0;
    size_t size = strlen(text) + 1;
    item->owner = handle;
    item->text = (char*)malloc(size);
    if (!item->text) {
        free(item);
        return 0;
    }
    memcpy(item->text, text, size);
    if (list->first && list->last && list->count) {
        list->last->next = item;
        item->next = list->first;
        list->last = item;
        list->count++;
    } else {
        item->next = item;
        list->first = list->last = item;
        list->count = 1;
    }
    return 1;
}

int listcount(int handle) {
    if (!registry.initialised || handle % 3 != 0) return 0;
    ListNode* list = findlist(handle);
    return list ? list->count : -1;
}

int listget(int handle, int position, char* buffer, int size) {
    if (!registry.initialised || handle % 3 != 0 || size < 1 || position < 0 || !buffer) return 0;
    ListNode* list = findlist(handle);
    if (!list || !list->first || position >= list->count) return 0;
    ListItem* item = list->first;
    for (int i = 0; i < position; i++) item = item->next;
    size_t length = strlen(item->text);
    size_t copied = length < (size_t)size - 1 ? length : (size_t)size - 1;
    memcpy(buffer, item->text, copied);
    buffer[copied] = 0;
    return (int)length;
}

int listclear(int handle) {
    if (!registry.initialised || handle % 3 != 0) return 0;
    ListNode* list = findlist(handle);
    if (!list) return -1;
    clearitems(list);
    return 1;
}

void listfreeall() {
    if (!registry.initialised) return;
    ListNode* node = registry.sentinel.next;
    while (node != &registry.sentinel) {
        ListNode* next = node->next;
        if (node->count > 0) clearitems(node);
        free(node);
        registry.sentinel.next = next;
        node = next;
    }
    registry.lastnode = &registry.sentinel;
    registry.lists = 0;
    registry.serial = 0;
    registry.initialised = false;
}
