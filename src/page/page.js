// The page around the show: the start panel in the settings dialog's place, fetching the
// show's files into the program's file system, decoding the music with Web Audio, and
// calling the program once an animation frame. What it does is kept in window.taldrexPage
// for the page's tests and for anyone looking.
'use strict';

(function () {
  const params = new URLSearchParams(location.search);
  const capture = params.get('capture') === '1';
  const page = window.taldrexPage = {
    state: 'starting', message: '', problems: [], fetchedBytes: 0, partLog: [], firstFrameMs: null,
  };
  // A looping show logs forever; the log keeps its newest entries.
  const PartLogLimit = 20000;
  // The largest file the page fetches: the largest any of the show's readers accepts (a
  // scene), and for an archive the most its entries may inflate to.
  const FileFetchLimit = 1 << 30;
  const ArchiveFetchLimit = 2 ** 31;

  const $ = (id) => document.getElementById(id);
  const canvas = $('canvas');
  let program = null;      // the program's exported functions, once it has started
  let running = false;     // a frame is asked for each animation frame
  let choices = { noSound: params.get('nosound') === '1', loop: params.get('loop') === '1' };

  function setState(state, message) {
    page.state = state;
    if (message !== undefined) page.message = message;
    document.body.dataset.state = state;
  }

  function showStatus(message, problems, again) {
    $('message').textContent = message;
    const list = $('problems');
    list.textContent = '';
    for (const line of problems) {
      const item = document.createElement('li');
      item.textContent = line;
      list.appendChild(item);
    }
    $('play-again').hidden = !again;
    $('status').hidden = !message && problems.length === 0;
  }

  function fail(message) {
    running = false;
    $('status').classList.remove('aside');
    setState('failed', message);
    $('panel').hidden = true;
    $('progress').hidden = true;
    showStatus('This show cannot play: ' + message, page.problems, false);
  }

  function progress(text) {
    $('progress').hidden = !text;
    $('progress').textContent = text;
  }

  function megabytes(bytes) { return (bytes / 1e6).toFixed(1) + ' MB'; }

  // ---- The music: decoded buffers by the show's path, and the streams playing them. ----
  function makeSound(context) {
    const sound = {
      context, decoded: new Map(), streams: new Map(), lastId: 0, current: 0,
      stop(id) {
        const s = sound.streams.get(id);
        if (s && s.source) { s.source.onended = null; s.source.stop(); s.source.disconnect(); s.source = null; }
      },
      play(id) {
        const s = sound.streams.get(id);
        if (!s) return false;
        sound.stop(id);
        const source = context.createBufferSource();
        source.buffer = s.buffer;
        source.connect(context.destination);
        source.start(0, Math.min(s.offset, s.buffer.duration));
        s.source = source;
        s.startedAt = context.currentTime - s.offset;
        s.playing = true;
        s.paused = false;
        sound.current = id;
        return true;
      },
      seconds(s) {
        if (!s.playing || s.paused) return s.offset;
        return Math.min(context.currentTime - s.startedAt, s.buffer.duration);
      },
      position(id) {
        const s = sound.streams.get(id);
        return s ? Math.max(0, Math.round(sound.seconds(s) * 1000)) : 0;
      },
      ended(id) {
        const s = sound.streams.get(id);
        return !!s && s.playing && sound.seconds(s) >= s.buffer.duration;
      },
      seek(id, ms) {
        const s = sound.streams.get(id);
        if (!s) return false;
        s.offset = Math.max(0, ms / 1000);
        if (s.playing && !s.paused) sound.play(id);
        return true;
      },
      pause(id, paused) {
        const s = sound.streams.get(id);
        if (!s) return false;
        if (paused && !s.paused) { s.offset = sound.seconds(s); sound.stop(id); s.paused = true; }
        else if (!paused && s.paused) sound.play(id);
        return true;
      },
    };
    return sound;
  }

  // ---- Fetching: every file through the show's folder, each within its limit. ----
  async function fetchBytes(url, limit) {
    const response = await fetch(url);
    if (!response.ok) return null;
    const declared = Number(response.headers.get('Content-Length') || 0);
    if (declared > limit) throw new Error(url + ' is larger than the page reads (' + megabytes(limit) + ')');
    const reader = response.body.getReader();
    const chunks = [];
    let size = 0;
    for (;;) {
      const { done, value } = await reader.read();
      if (done) break;
      size += value.length;
      page.fetchedBytes += value.length;
      if (size > limit) { reader.cancel(); throw new Error(url + ' is larger than the page reads (' + megabytes(limit) + ')'); }
      chunks.push(value);
      progress('Loading the show: ' + megabytes(page.fetchedBytes) + ' fetched');
    }
    const bytes = new Uint8Array(size);
    let at = 0;
    for (const chunk of chunks) { bytes.set(chunk, at); at += chunk.length; }
    return bytes;
  }

  // A name of the show as a URL under the show's folder: each part encoded, so that no
  // name reaches another folder or origin.
  function showUrl(base, name) {
    const url = new URL(name.split('/').map(encodeURIComponent).join('/'), base);
    if (url.origin !== base.origin || !url.pathname.startsWith(base.pathname)) return null;
    return url;
  }

  function writeFile(path, bytes) {
    const parts = path.split('/').filter((p) => p);
    let folder = '';
    for (const part of parts.slice(0, -1)) {
      folder += '/' + part;
      if (!program.FS.analyzePath(folder).exists) program.FS.mkdir(folder);
    }
    program.FS.writeFile('/' + parts.join('/'), bytes);
  }

  function clearShowFiles() {
    const remove = (path) => {
      const found = program.FS.analyzePath(path);
      if (!found.exists) return;
      if (program.FS.isDir(found.object.mode)) {
        for (const name of program.FS.readdir(path)) if (name !== '.' && name !== '..') remove(path + '/' + name);
        program.FS.rmdir(path);
      } else program.FS.unlink(path);
    };
    remove('/show');
    remove('/show.zip');
  }

  // A name that leads out of the show's folder is never fetched. An empty file stands
  // where it leads, so that the show refuses it in the desktop's words ("outside the demo
  // folder") rather than calling it missing.
  function markOutside(path) {
    const parts = [];
    for (const part of ('show/' + path).split('/')) {
      if (part === '..') parts.pop();
      else if (part && part !== '.') parts.push(part);
    }
    const place = '/' + parts.join('/');
    if (parts.length && parts[0] !== 'show' && !program.FS.analyzePath(place).exists) writeFile(place, new Uint8Array(0));
  }

  // Fetches a show folder at base into /show: script.txt, then the loading picture, then
  // what the script names.
  async function fetchFolder(base) {
    const script = await fetchBytes(new URL('script.txt', base), FileFetchLimit);
    if (!script) throw new Error('script.txt is missing at ' + base.href);
    writeFile('/show/script.txt', script);
    const text = new TextDecoder('latin1').decode(script);
    const lines = program.showFiles(text).split('\n').filter((l) => l);
    let first = true;
    for (const line of lines) {
      const [what, ...rest] = line.split('\t');
      if (what === 'refuse') { markOutside(rest[0]); continue; }
      for (const name of rest) {
        const url = showUrl(base, name);
        const bytes = url && await fetchBytes(url, FileFetchLimit);
        if (bytes) { writeFile('/show/' + name, bytes); break; }
      }
      // The loading picture comes first: shown while the rest arrives.
      if (first && !program.openShow('/show')) program.drawLoading();
      first = false;
    }
  }

  // ---- Starting and playing. ----
  async function begin(source) {
    running = false;
    $('panel').hidden = true;
    showStatus('', [], false);
    page.problems = [];
    page.fetchedBytes = 0;
    page.partLog = [];
    setState('fetching', '');
    try {
      clearShowFiles();
      if (source.file) {
        if (source.file.size > ArchiveFetchLimit) throw new Error(source.file.name + ' is larger than the page reads');
        writeFile('/show.zip', new Uint8Array(await source.file.arrayBuffer()));
      } else if (/\.zip$/i.test(source.url.pathname)) {
        const bytes = await fetchBytes(source.url, ArchiveFetchLimit);
        if (!bytes) throw new Error(source.url.href + ' cannot be fetched');
        writeFile('/show.zip', bytes);
      } else {
        await fetchFolder(source.url);
      }
    } catch (error) {
      fail(error.message || String(error));
      return;
    }
    const opened = program.openShow(FSPath(source));
    if (opened) { fail(opened); return; }
    program.drawLoading();
    setState('loading', '');
    progress('Loading the show: ' + megabytes(page.fetchedBytes) + ' fetched');
    // Let the browser show the loading picture before the show's files are read.
    await nextFrame();
    await nextFrame();

    const sound = window.taldrexSound;
    if (!choices.noSound && !capture && sound) await decodeSoundtrack(sound);
    const problem = program.load(choices.noSound || capture || !sound ? 1 : 0);
    page.problems = program.problems().split('\n').filter((l) => l);
    progress('');
    if (problem) { fail(problem); return; }
    // Listed beside the show, which plays on, as the desktop's window plays on.
    const count = page.problems.length;
    if (count) showStatus(count + (count === 1 ? ' problem' : ' problems') + ' in this show:', page.problems, false);
    $('status').classList.toggle('aside', count > 0);
    if (capture) { startCapture(); return; }
    play();
  }

  function FSPath(source) { return source.file || /\.zip$/i.test(source.url.pathname) ? '/show.zip' : '/show'; }

  async function decodeSoundtrack(sound) {
    const path = program.soundtrack();
    if (!path) return;
    const start = program.soundtrackData();
    const bytes = program.HEAPU8.slice(start, start + program.soundtrackSize());
    program.soundtrackRelease();
    try {
      sound.decoded.set(path, await sound.context.decodeAudioData(bytes.buffer));
    } catch (error) {
      // An undecodable soundtrack leaves the show silent, as on the desktop.
    }
  }

  function nextFrame() { return new Promise((resolve) => requestAnimationFrame(resolve)); }

  function play() {
    if (!program.start(choices.loop ? 1 : 0)) { ended(); return; }
    setState('playing', '');
    running = true;
    canvas.focus();
    requestAnimationFrame(frame);
  }

  function frame() {
    if (!running) return;
    const sound = window.taldrexSound;
    const entry = {
      part: program.part(), clock: program.clock(),
      audioMs: sound && sound.current ? sound.position(sound.current) : null, t: performance.now(),
    };
    if (page.partLog.length >= PartLogLimit) page.partLog.splice(0, PartLogLimit / 2);
    page.partLog.push(entry);
    const more = program.frame();
    if (page.firstFrameMs === null) page.firstFrameMs = performance.now();
    if (!more) { ended(); return; }
    requestAnimationFrame(frame);
  }

  function ended() {
    running = false;
    $('status').classList.remove('aside');
    setState('ended', 'The show has ended.');
    showStatus('The show has ended.', page.problems, true);
  }

  function startCapture() {
    const size = /^(\d+)x(\d+)$/.exec(params.get('size') || '1280x720');
    const width = size ? Number(size[1]) : 1280;
    const height = size ? Number(size[2]) : 720;
    canvas.classList.add('fixed');
    canvas.style.width = width / devicePixelRatio + 'px';
    canvas.style.height = height / devicePixelRatio + 'px';
    const number = (name, fallback) => (params.has(name) ? Number(params.get(name)) : fallback);
    program.captureBegin(width, height, number('fps', 30), number('from', 0), number('to', -1));
    window.taldrexCapture = {
      next() {
        const k = program.captureFrame();
        if (k < 0) { setState('ended', 'The capture has ended.'); return { done: true }; }
        return { done: false, frame: k, png: canvas.toDataURL('image/png') };
      },
    };
    $('status').hidden = true;
    setState('ready', '');
  }

  // ---- The start panel, a dropped or picked archive, and the page's own keys. ----
  function startFrom(source) {
    // Sound may only start from a gesture: the audio context is made here.
    choices = { noSound: $('no-sound').checked, loop: $('loop-demo').checked };
    if (!choices.noSound && !window.taldrexSound) {
      try {
        window.taldrexSound = Module.taldrexSound = makeSound(new AudioContext());
      } catch (error) {
        window.taldrexSound = null;
      }
    }
    if (window.taldrexSound) window.taldrexSound.context.resume();
    begin(source);
  }

  function showSource() {
    const named = params.get('show');
    const base = new URL(named || 'show/', location.href);
    if (!/\.zip$/i.test(base.pathname) && !base.pathname.endsWith('/')) {
      base.pathname = base.pathname.replace(/script\.txt$/i, '');
      if (!base.pathname.endsWith('/')) base.pathname += '/';
    }
    return { url: base };
  }

  $('run-demo').addEventListener('click', () => startFrom(showSource()));
  $('pick-show').addEventListener('click', () => $('show-file').click());
  $('show-file').addEventListener('change', (event) => {
    const file = event.target.files[0];
    if (file) startFrom({ file });
  });
  $('play-again').addEventListener('click', () => {
    showStatus('', page.problems, false);
    $('status').hidden = true;
    if (window.taldrexSound) window.taldrexSound.context.resume();
    play();
  });
  document.addEventListener('dragover', (event) => { event.preventDefault(); document.body.classList.add('dragging'); });
  document.addEventListener('dragleave', () => document.body.classList.remove('dragging'));
  document.addEventListener('drop', (event) => {
    event.preventDefault();
    document.body.classList.remove('dragging');
    const file = event.dataTransfer.files[0];
    if (file && program) startFrom({ file });
  });
  function fullscreen() {
    if (!document.fullscreenElement && canvas.requestFullscreen) canvas.requestFullscreen().catch(() => {});
  }
  document.addEventListener('keydown', (event) => {
    if ((event.key === 'f' || event.key === 'F') && page.state === 'playing') fullscreen();
  });
  canvas.addEventListener('dblclick', fullscreen);

  // ---- The program. ----
  window.Module = {
    canvas,
    print: (text) => console.log(text),
    printErr: (text) => console.warn(text),
    onAbort: (what) => fail('the program stopped (' + what + '); the show may need more memory than the page has'),
    onRuntimeInitialized() {
      const M = window.Module;
      const text = (fn) => (...args) => { const p = fn(...args); return p ? M.UTF8ToString(p) : null; };
      program = {
        FS: M.FS,
        get HEAPU8() { return M.HEAPU8; },
        openCanvas: text(M.cwrap('taldrex_open_canvas', 'number', ['number'])),
        showFiles: text(M.cwrap('taldrex_show_files', 'number', ['string'])),
        openShow: text(M.cwrap('taldrex_open_show', 'number', ['string'])),
        drawLoading: M.cwrap('taldrex_draw_loading', null, []),
        soundtrack: text(M.cwrap('taldrex_soundtrack', 'number', [])),
        soundtrackData: M.cwrap('taldrex_soundtrack_data', 'number', []),
        soundtrackSize: M.cwrap('taldrex_soundtrack_size', 'number', []),
        soundtrackRelease: M.cwrap('taldrex_soundtrack_release', null, []),
        load: text(M.cwrap('taldrex_load', 'number', ['number'])),
        problems: text(M.cwrap('taldrex_problems', 'number', [])),
        start: M.cwrap('taldrex_start', 'number', ['number']),
        part: M.cwrap('taldrex_part', 'number', []),
        clock: M.cwrap('taldrex_clock', 'number', []),
        frame: M.cwrap('taldrex_frame', 'number', []),
        captureBegin: M.cwrap('taldrex_capture_begin', null, ['number', 'number', 'number', 'number', 'number']),
        captureFrame: M.cwrap('taldrex_capture_frame', 'number', []),
      };
      const error = program.openCanvas(capture ? 1 : 0);
      if (error) { fail(error); return; }
      if (capture) { choices.noSound = true; begin(showSource()); return; }
      if (params.get('autostart') === '1') {
        $('no-sound').checked = choices.noSound;
        $('loop-demo').checked = choices.loop;
        startFrom(showSource());
        return;
      }
      $('no-sound').checked = choices.noSound;
      $('loop-demo').checked = choices.loop;
      $('panel').hidden = false;
      setState('panel', '');
    },
  };
  window.addEventListener('error', (event) => { if (page.state !== 'failed') fail(String(event.message)); });
  window.addEventListener('unhandledrejection', (event) => fail(String(event.reason && event.reason.message || event.reason)));

  const script = document.createElement('script');
  script.src = 'taldrex.js';
  script.onerror = () => fail('taldrex.js cannot be loaded');
  document.body.appendChild(script);
})();
