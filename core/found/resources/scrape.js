// Reads the document model of the page on display for the found list. It runs
// in the program's own script world, so whatever the page's scripts do to
// document.links, the collections or the element prototypes, the values read
// here are the browser's own.
//
// The caller appends the call:
//   (function (scanLinks, scanImages, epoch) {...})(a, b, n).
// The result is always an object (an exception or undefined would reach the
// program as nothing at all):
//   { href, url, html: bool, error?: text, documents: [
//       { id, links: [...], images: [...] } | { id, same: true }
//       | { error: text } | { missing: true } ] }
//
// A page is scanned several times while it loads. Each document keeps, in this
// world only, a number and a watch on its changes; a document read during the
// same epoch that has not changed since comes back as { id, same: true }, and
// the program uses what it read then. The program starts a new epoch whenever
// it no longer holds the earlier reads, so that no document is left unread.
(function (scanLinks, scanImages, epoch) {
    'use strict';
    var result = { href: '', url: '', html: false, documents: [] };
    function describe(e) {
        if (e && e.name)
            return e.name + ': ' + (e.message || '');
        return String(e);
    }
    function addresses(collection, key) {
        var out = new Array(collection.length);
        for (var j = 0; j < collection.length; ++j) {
            var value = collection[j][key];
            // An SVG element in a collection has an animated string here.
            out[j] = typeof value === 'string' ? value
                : (value && typeof value.baseVal === 'string' ? value.baseVal : String(value));
        }
        return out;
    }
    function watch(doc) {
        var state = doc.pullmarkScan;
        if (!state) {
            window.pullmarkDocuments = (window.pullmarkDocuments || 0) + 1;
            state = { id: window.pullmarkDocuments, epoch: -1, changed: true, base: '' };
            // Anything that can change the collections or their addresses: the
            // tree, an href or src, a <base>. The watch ends at the first change
            // and starts again at the next read.
            state.observer = new MutationObserver(function () {
                state.changed = true;
                state.observer.disconnect();
            });
            doc.pullmarkScan = state;
        }
        return state;
    }
    function scan(doc) {
        var state = watch(doc);
        if (state.observer.takeRecords().length > 0)
            state.changed = true;
        // A new address of the document (history.pushState) changes relative
        // addresses without touching the tree.
        if (state.epoch === epoch && !state.changed && state.base === doc.baseURI)
            return { id: state.id, same: true };
        state.epoch = epoch;
        state.changed = false;
        state.base = doc.baseURI;
        state.observer.observe(doc, { childList: true, subtree: true, attributes: true,
                                      attributeFilter: ['href', 'src'] });
        return {
            id: state.id,
            links: scanLinks ? addresses(doc.links, 'href') : [],
            images: scanImages ? addresses(doc.images, 'src') : []
        };
    }
    try {
        result.href = String(location.href);
        result.url = String(document.URL);
        if (!(document instanceof HTMLDocument)) {
            result.error = 'The document on display is not an HTML document';
            return result;
        }
        result.html = true;
        var last = window.frames.length - 1;
        if (last < 0)
            last = 0;
        for (var i = 0; i <= last; ++i) {
            try {
                var doc;
                if (window.frames.length === 0) {
                    doc = document;
                } else {
                    var frame = window.frames[i];
                    doc = frame ? frame.document : null;
                }
                result.documents.push(doc ? scan(doc) : { missing: true });
            } catch (e) {
                result.documents.push({ error: describe(e) });
            }
        }
    } catch (e) {
        result.error = describe(e);
    }
    return result;
})
