// The default scan's reader: the links and embedded items of the page on
// display and of every frame in it, at any depth. It runs in the program's
// own script world, in the page and in each of its frames (other origins'
// too), so whatever the page's scripts do to the document model's
// collections, prototypes or console, what is read here is the browser's own,
// and no page script sees, forges or holds back what it reports.
//
// The caller appends the call:
//   (function (token, command, options) {...})('<token>', 'attach' | 'read', {...}).
//
// 'attach' runs once in every document, when it has been parsed. A document
// the page's top document can read says so ("<token>:parsed") and, at its
// first change after each read, "<token>:changed"; the program then reads it
// from the top with 'read'. A document of another origin than the top's
// cannot be read from there: it reads itself and reports what it holds,
// "<token>:frame:<json>" with { path, id, top, links, media, shown? }, again
// after each change (at most every PUSH_INTERVAL_MS) and at its load event.
//
// 'read' runs in the top document with options { links, media, asShown,
// epoch } and returns (always an object: an exception or undefined would
// reach the program as nothing at all)
//   { href, url, html, error?, documents: [ { path, id, links, media }
//       | { path, id, same: true } | { path, id, grown: true, links, media }
//       | { path, foreign: true } | { path, missing: true } | { path, error } ] }
// with the top document first, then each frame in document order, every
// frame followed by its own frames. A path names a frame by its positions
// in its ancestors' frames, "1.0" being the first frame of the second.
// A document read during the same epoch that has not changed since comes
// back as { id, same: true }, one that only gained entries at its end as
// { id, grown: true } with the entries gained; the program starts a new
// epoch whenever it no longer holds the earlier reads.
(function (token, command, options) {
    'use strict';
    var KEY = 'pullmarkReader';
    var PUSH_INTERVAL_MS = 400;
    // The attributes the reader takes addresses from, and the elements whose
    // coming, going or change can change what it reads.
    var WATCHED_ATTRIBUTES = ['href', 'src', 'srcset', 'data-srcset', 'data-lazy-srcset', 'data-src',
                              'data-original', 'data-lazy-src', 'poster', 'data'];
    var ITEMS = 'img,source,video,audio,embed,object';
    var RELEVANT = 'a,area,base,iframe,frame,frameset,noscript,' + ITEMS;
    // While scripts run, a <noscript>'s content is only text; this says
    // whether that text is worth parsing.
    var ITEM_TAG = /<(img|source|video|audio|embed|object)[\s>\/]/i;
    var FETCHABLE = /^https?:/i;

    function describe(e) {
        if (e && e.name)
            return e.name + ': ' + (e.message || '');
        return String(e);
    }

    // ---- Addresses -------------------------------------------------------

    // `value` (an attribute's text) as an absolute address the program can
    // fetch, or '' (none, not valid, or data:, blob:, javascript: ...).
    function address(value, base) {
        if (value === null || value === undefined)
            return '';
        value = String(value).trim();
        if (value === '')
            return '';
        var url;
        try {
            url = new URL(value, base).href;
        } catch (e) {
            return '';
        }
        return FETCHABLE.test(url) ? url : '';
    }

    function isSpace(c) {
        return c === ' ' || c === '\t' || c === '\n' || c === '\f' || c === '\r';
    }

    // The candidates of a srcset attribute, parsed as the HTML standard's
    // "parse a srcset attribute" does: an address runs to the next blank, so
    // it may hold commas ("/c_fit,w_470/x.jpg 470w"); commas at its end
    // separate it from the next candidate. Each candidate is { url, width }
    // or { url, density }; one with descriptors that are not valid is dropped.
    function srcsetCandidates(text) {
        var candidates = [];
        var n = text.length, i = 0;
        while (true) {
            while (i < n && (isSpace(text[i]) || text[i] === ','))
                ++i;
            if (i >= n)
                return candidates;
            var start = i;
            while (i < n && !isSpace(text[i]))
                ++i;
            var url = text.slice(start, i);
            var descriptors = [];
            if (url[url.length - 1] === ',') {
                url = url.replace(/,+$/, '');
            } else {
                // Descriptors up to the next comma outside parentheses.
                var current = '', inParens = false;
                while (i < n && isSpace(text[i]))
                    ++i;
                for (; i <= n; ++i) {
                    var c = i < n ? text[i] : '';
                    if (inParens) {
                        if (c === '') {
                            descriptors.push(current);
                            break;
                        }
                        current += c;
                        if (c === ')')
                            inParens = false;
                    } else if (c === '' || c === ',' || isSpace(c)) {
                        if (current !== '')
                            descriptors.push(current);
                        current = '';
                        if (c === '' || c === ',') {
                            ++i;
                            break;
                        }
                    } else {
                        current += c;
                        if (c === '(')
                            inParens = true;
                    }
                }
            }
            var candidate = describedCandidate(url, descriptors);
            if (candidate)
                candidates.push(candidate);
        }
    }

    function describedCandidate(url, descriptors) {
        var width, density, height;
        for (var d = 0; d < descriptors.length; ++d) {
            var descriptor = descriptors[d];
            var kind = descriptor[descriptor.length - 1];
            var value = descriptor.slice(0, -1);
            if (kind === 'w') {
                if (width !== undefined || density !== undefined || !/^\d+$/.test(value) || Number(value) === 0)
                    return null;
                width = Number(value);
            } else if (kind === 'x') {
                if (width !== undefined || density !== undefined || height !== undefined
                    || !/^-?(\d+(\.\d+)?|\.\d+)([eE][+-]?\d+)?$/.test(value) || Number(value) < 0)
                    return null;
                density = Number(value);
            } else if (kind === 'h') {
                if (height !== undefined || density !== undefined || !/^\d+$/.test(value) || Number(value) === 0)
                    return null;
                height = Number(value);
            } else {
                return null;
            }
        }
        if (height !== undefined && width === undefined)
            return null;
        return width !== undefined ? { url: url, width: width } : { url: url, density: density === undefined ? 1 : density };
    }

    // The largest fetchable candidate of a srcset: by width when any
    // candidate gives one, else by density; the first of equals.
    function largest(srcset, base) {
        if (!srcset)
            return '';
        var candidates = srcsetCandidates(srcset);
        var byWidth = candidates.some(function (c) { return c.width !== undefined; });
        candidates = candidates.filter(function (c) { return byWidth ? c.width !== undefined : true; });
        candidates.sort(function (a, b) { return byWidth ? b.width - a.width : b.density - a.density; });
        for (var i = 0; i < candidates.length; ++i) {
            var url = address(candidates[i].url, base);
            if (url)
                return url;
        }
        return '';
    }

    // An image's address: what the browser shows (as shown), else its
    // largest version, else the address a lazy loader keeps, else src.
    function imageAddress(img, base, asShown) {
        if (asShown && img.currentSrc && FETCHABLE.test(img.currentSrc))
            return img.currentSrc;
        return largest(img.getAttribute('srcset'), base)
            || largest(img.getAttribute('data-srcset'), base)
            || largest(img.getAttribute('data-lazy-srcset'), base)
            || address(img.getAttribute('data-src'), base)
            || address(img.getAttribute('data-original'), base)
            || address(img.getAttribute('data-lazy-src'), base)
            || address(img.getAttribute('src'), base);
    }

    function add(out, url) {
        if (url)
            out.push(url);
    }

    // The embedded items under `root`, in document order, into `out`; the
    // items of <noscript> fallbacks at the fallback's place. Nothing is
    // loaded: a fallback's text is parsed into a document of its own.
    function itemsOf(root, base, asShown, out, inFallback) {
        var elements = root.querySelectorAll(inFallback ? ITEMS : ITEMS + ',noscript');
        for (var i = 0; i < elements.length; ++i) {
            var element = elements[i];
            switch (element.localName) {
            case 'img':
                add(out, imageAddress(element, base, asShown));
                break;
            case 'source':
                if (element.parentElement && element.parentElement.localName === 'picture') {
                    // As shown, the picture's <img> tells which source is on display.
                    if (!asShown)
                        add(out, largest(element.getAttribute('srcset'), base)
                                 || largest(element.getAttribute('data-srcset'), base)
                                 || largest(element.getAttribute('data-lazy-srcset'), base));
                } else {
                    add(out, address(element.getAttribute('src'), base));
                }
                break;
            case 'video':
                add(out, address(element.getAttribute('src'), base));
                add(out, address(element.getAttribute('poster'), base));
                break;
            case 'audio':
            case 'embed':
                add(out, address(element.getAttribute('src'), base));
                break;
            case 'object':
                add(out, address(element.getAttribute('data'), base));
                break;
            case 'noscript':
                var text = element.textContent;
                if (ITEM_TAG.test(text)) {
                    itemsOf(new DOMParser().parseFromString(text, 'text/html'), base, asShown, out, true);
                }
                break;
            }
        }
        return out;
    }

    function linksOf(doc) {
        var links = doc.links, out = new Array(links.length);
        for (var j = 0; j < links.length; ++j) {
            var value = links[j].href;
            // An SVG link has an animated string here.
            out[j] = typeof value === 'string' ? value
                : (value && typeof value.baseVal === 'string' ? value.baseVal : String(value));
        }
        return out;
    }

    // Whether the list `start` is the beginning of `list`.
    function startsWith(list, start) {
        if (list.length < start.length)
            return false;
        for (var i = 0; i < start.length; ++i)
            if (list[i] !== start[i])
                return false;
        return true;
    }

    // ---- Watching a document -------------------------------------------

    function isRelevantNode(node) {
        return node.nodeType === 1 && (node.matches(RELEVANT) || node.querySelector(RELEVANT) !== null);
    }

    // Whether the changes can change what the reader reads: a tick of a
    // clock or a rotating text changes nothing the found list holds.
    function relevant(records) {
        for (var i = 0; i < records.length; ++i) {
            var record = records[i];
            if (record.type === 'attributes') {
                if (record.target.matches(RELEVANT))
                    return true;
            } else if (record.type === 'characterData') {
                var parent = record.target.parentNode;
                if (parent && parent.localName === 'noscript')
                    return true;
            } else {
                if (record.target.localName === 'noscript')
                    return true;
                for (var a = 0; a < record.addedNodes.length; ++a)
                    if (isRelevantNode(record.addedNodes[a]))
                        return true;
                for (var r = 0; r < record.removedNodes.length; ++r)
                    if (isRelevantNode(record.removedNodes[r]))
                        return true;
            }
        }
        return false;
    }

    function note(what) {
        console.debug(token + ':' + what);
    }

    // The reader's state of a document, kept on the document in this world
    // only. The watch ends at the first relevant change and starts again
    // at the next read, so a page that keeps changing costs one change
    // between two reads.
    function stateOf(doc) {
        var state = doc[KEY];
        if (!state) {
            state = { id: Math.random().toString(36).slice(2) + Date.now().toString(36), epoch: -1, changed: true,
                      base: '', links: [], media: [], foreign: false, timer: 0, pushedAt: 0, lastReport: '',
                      readAsShown: false, shownStale: false };
            state.observer = new MutationObserver(function (records) {
                if (!state.changed && relevant(records))
                    changed(doc, state);
            });
            doc[KEY] = state;
            watch(doc, state);
            // An image the browser has chosen and fetched changes what it
            // shows (currentSrc) without changing the document.
            var imageDone = function (event) {
                if (!event.target || event.target.localName !== 'img')
                    return;
                if (state.foreign) {
                    schedulePush(doc, state);
                } else if (state.readAsShown && !state.changed && !state.shownStale) {
                    state.shownStale = true;
                    note('changed');
                }
            };
            doc.addEventListener('load', imageDone, true);
            doc.addEventListener('error', imageDone, true);
        }
        return state;
    }

    function watch(doc, state) {
        state.observer.observe(doc, { childList: true, subtree: true, characterData: true, attributes: true,
                                      attributeFilter: WATCHED_ATTRIBUTES });
    }

    function changed(doc, state) {
        state.changed = true;
        state.observer.disconnect();
        if (state.foreign)
            schedulePush(doc, state);
        else
            note('changed');
    }

    // Starts a read of `doc`: true when it must be read anew.
    function beginRead(doc, state, asShown) {
        if (relevant(state.observer.takeRecords()))
            state.changed = true;
        var shownStale = asShown && state.shownStale;
        state.shownStale = false;
        state.readAsShown = asShown;
        // A new address of the document (history.pushState) changes relative
        // addresses without touching the tree.
        if (!state.changed && !shownStale && state.base === doc.baseURI)
            return false;
        state.changed = false;
        state.base = doc.baseURI;
        watch(doc, state);
        return true;
    }

    // ---- Reading from the top ------------------------------------------

    function readDocument(doc, read) {
        var state = stateOf(doc);
        var fresh = beginRead(doc, state, read.asShown);
        var sameEpoch = state.epoch === read.epoch;
        if (!fresh && sameEpoch)
            return { id: state.id, same: true };
        var links = read.links ? linksOf(doc) : [];
        var media = read.media ? itemsOf(doc, doc.baseURI, read.asShown, []) : [];
        var result;
        // A document that only grew (a gallery that loads as it scrolls,
        // a feed) sends what it gained since the program's last read.
        if (sameEpoch && startsWith(links, state.links) && startsWith(media, state.media))
            result = { id: state.id, grown: true, links: links.slice(state.links.length),
                       media: media.slice(state.media.length) };
        else
            result = { id: state.id, links: links, media: media };
        state.epoch = read.epoch;
        state.links = links;
        state.media = media;
        return result;
    }

    function walk(win, path, read, out) {
        var entry;
        try {
            var doc = win.document;  // another origin's document throws
            entry = doc ? readDocument(doc, read) : { missing: true };
        } catch (e) {
            entry = e && e.name === 'SecurityError' ? { foreign: true } : { error: describe(e) };
        }
        entry.path = path;
        out.push(entry);
        // Another origin's window still gives its frames.
        var count = 0;
        try {
            count = win.frames.length;
        } catch (e) {
            count = 0;
        }
        for (var i = 0; i < count; ++i) {
            var childPath = path === '' ? String(i) : path + '.' + i;
            var child = null;
            try {
                child = win.frames[i];
            } catch (e) {
                child = null;
            }
            if (child)
                walk(child, childPath, read, out);
            else
                out.push({ path: childPath, missing: true });
        }
    }

    function readPage(read) {
        var result = { href: '', url: '', html: false, documents: [] };
        try {
            result.href = String(location.href);
            result.url = String(document.URL);
            if (!(document instanceof HTMLDocument)) {
                result.error = 'The document on display is not an HTML document';
                return result;
            }
            result.html = true;
            walk(window, '', read, result.documents);
        } catch (e) {
            result.error = describe(e);
        }
        return result;
    }

    // ---- A frame the top cannot read -----------------------------------

    function topCanRead() {
        try {
            return window.top.document !== undefined;
        } catch (e) {
            return false;
        }
    }

    // This window's path from the top: its position in its parent's frames,
    // and so on up. A window of another origin still compares with ===.
    function framePath() {
        var positions = [];
        var win = window;
        while (win !== win.parent) {
            var parent = win.parent, position = -1;
            for (var i = 0; i < parent.frames.length; ++i) {
                if (parent.frames[i] === win) {
                    position = i;
                    break;
                }
            }
            if (position < 0)
                return null;
            positions.unshift(position);
            win = parent;
        }
        return positions.join('.');
    }

    function topOrigin() {
        var origins = location.ancestorOrigins;
        return origins && origins.length > 0 ? String(origins[origins.length - 1]) : '';
    }

    // Reads this frame's document and reports it, unless the report would
    // say what the last one said.
    function push(doc, state) {
        state.timer = 0;
        try {
            beginRead(doc, state, false);
            var path = framePath();
            if (path === null)  // the frame is leaving the page
                return;
            var base = doc.baseURI;
            var report = { path: path, id: state.id, top: topOrigin(), links: linksOf(doc),
                           media: itemsOf(doc, base, false, []) };
            var shown = itemsOf(doc, base, true, []);
            if (shown.length !== report.media.length || !startsWith(shown, report.media))
                report.shown = shown;
            var text = JSON.stringify(report);
            if (text === state.lastReport)
                return;
            state.lastReport = text;
            state.pushedAt = Date.now();
            note('frame:' + text);
        } catch (e) {
            // Nothing is reported; the program skips the frame.
        }
    }

    function schedulePush(doc, state) {
        if (state.timer)
            return;
        var wait = Math.max(0, state.pushedAt + PUSH_INTERVAL_MS - Date.now());
        state.timer = setTimeout(function () { push(doc, state); }, wait);
    }

    function attach() {
        var state = stateOf(document);
        if (topCanRead()) {
            note('parsed');
            return;
        }
        state.foreign = true;
        push(document, state);
        // Loaded images change what "as shown" reads.
        window.addEventListener('load', function () {
            if (!state.timer)
                push(document, state);
        });
    }

    if (command === 'attach') {
        try {
            attach();
        } catch (e) {
            // The frame stays unread; the program notes it.
        }
        return null;
    }
    return readPage(options);
})
